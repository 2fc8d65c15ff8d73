#pragma once

#include <string>

namespace pellquin {

// Every message box of the main window and the beep, behind one interface so that tests can
// script the user's answers and read what was shown. Boxes are modal, captioned "Pellquin".
class Prompts {
public:
    virtual ~Prompts() = default;

    // The error box (ShowErrorBox): error icon, one OK button; returns when OK is pressed.
    virtual void ShowError(const std::string& text) = 0;

    // A question with Yes and No buttons and no icon; true only for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;

    // A plain message with one OK button and no icon.
    virtual void ShowMessage(const std::string& text) = 0;

    // A plain message with one OK button and no icon, under a caption of its own. Prompts
    // that cannot show captions show the text alone.
    virtual void ShowCaptionedMessage(const std::string& caption, const std::string& text) {
        (void)caption;
        ShowMessage(text);
    }
    // A warning with one OK button, owned by no window (it may show before or after the main
    // window).
    virtual void ShowWarning(const std::string& text) = 0;

    // The simple system beep.
    virtual void Beep() = 0;
};

}  // namespace pellquin
