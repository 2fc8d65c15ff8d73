#include "app/message_box_prompts.h"

#include <QApplication>
#include <QMessageBox>

#include "settings/constants.h"

namespace pellquin {
namespace {

int Show(QWidget* owner, QMessageBox::Icon icon, const std::string& text,
         QMessageBox::StandardButtons buttons, const char* caption = kProductName) {
    // Texts keep the Windows line breaks they are written with; a label breaks at \n alone.
    QString shown = QString::fromStdString(text);
    shown.replace("\r\n", "\n");
    QMessageBox box(icon, QString::fromUtf8(caption), shown, buttons, owner);
    // Texts may come from the query service or hold a typed path; markup in them is shown
    // as it is, never interpreted.
    box.setTextFormat(Qt::PlainText);
    box.setAccessibleName(QString::fromUtf8(caption));
    box.setAccessibleDescription(QString::fromStdString(text));
    return box.exec();
}

}  // namespace

void MessageBoxPrompts::ShowError(const std::string& text) {
    Show(m_owner, QMessageBox::Critical, text, QMessageBox::Ok);
}

bool MessageBoxPrompts::AskYesNo(const std::string& text) {
    return Show(m_owner, QMessageBox::NoIcon, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void MessageBoxPrompts::ShowMessage(const std::string& text) {
    Show(m_owner, QMessageBox::NoIcon, text, QMessageBox::Ok);
}

void MessageBoxPrompts::ShowCaptionedMessage(const std::string& caption, const std::string& text) {
    Show(m_owner, QMessageBox::NoIcon, text, QMessageBox::Ok, caption.c_str());
}

void MessageBoxPrompts::ShowWarning(const std::string& text) {
    Show(nullptr, QMessageBox::Warning, text, QMessageBox::Ok);
}

void MessageBoxPrompts::Beep() {
    QApplication::beep();
}

}  // namespace pellquin
