#pragma once

#include <QPushButton>
#include <QString>

namespace pellquin {

// Gives a control of the main window its object name (what tests and the help contexts find
// it by) and the name a screen reader announces.
template <typename W>
W* Named(W* widget, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(QString::fromUtf8(objectName));
    widget->setAccessibleName(accessibleName);
    return widget;
}

inline QPushButton* Button(const QString& caption, const char* objectName,
                           const QString& accessibleName, QWidget* parent) {
    auto* button = Named(new QPushButton(caption, parent), objectName, accessibleName);
    // Enter on a focused button presses it, as Space does.
    button->setAutoDefault(true);
    return button;
}

}  // namespace pellquin
