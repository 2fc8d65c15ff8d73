#pragma once

#include <QPointer>
#include <QWidget>

#include "prompts/prompts.h"

namespace pellquin {

// Prompts shown as QMessageBox dialogs owned by one window.
class MessageBoxPrompts : public Prompts {
public:
    // `owner` may be null until the main window exists; boxes are then centred on screen.
    explicit MessageBoxPrompts(QWidget* owner = nullptr) : m_owner(owner) {}

    void SetOwner(QWidget* owner) { m_owner = owner; }

    void ShowError(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void ShowCaptionedMessage(const std::string& caption, const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    void Beep() override;

private:
    QPointer<QWidget> m_owner;
};

}  // namespace pellquin
