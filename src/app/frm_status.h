#pragma once

#include <QLabel>
#include <QWidget>

namespace pellquin {

// The status pop-up: a borderless, stay-on-top "Processing" box with one label, shown
// without being modal while a long loop runs. Hidden, never destroyed, between uses.
class TfrmStatus : public QWidget {
    Q_OBJECT
public:
    explicit TfrmStatus(QWidget* parent = nullptr);

    // Shows the pop-up centred over `over` and paints it at once, since the loop that
    // follows handles no window messages.
    void ShowOver(QWidget* over);

    // Sets the label; with `paint`, paints the pop-up at once.
    void SetStep(const QString& text, bool paint = true);

    QString Step() const { return m_lblStatus->text(); }

private:
    QLabel* m_lblStatus;
};

}  // namespace pellquin
