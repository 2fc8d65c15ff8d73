#pragma once

#include <string>

namespace pellquin {

// The two message boxes the service controls show: the error box and a Yes/No question,
// both captioned "Pellquin". The desktop program routes them to its own boxes.
class ControlPrompts {
public:
    virtual ~ControlPrompts() = default;

    // The error box; returns when it has been closed.
    virtual void ShowError(const std::string& text) = 0;

    // Yes and No buttons, no icon; true only for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
};

}  // namespace pellquin
