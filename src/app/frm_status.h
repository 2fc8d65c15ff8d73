#pragma once

#include <QLabel>
#include <QWidget>

class QFrame;
class QGroupBox;

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
    // The built-in arrangement (a 229 by 34 label in a 249 by 61 pop-up), grown where the
    // font needs more for the title or the current step, the centre kept.
    void FitToText();

    QFrame* m_panel;
    QGroupBox* m_grpStatus;
    QLabel* m_lblStatus;
};

}  // namespace pellquin
