#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pellquin {

// Opens a document or web address with the user's default handler for it, as the shell's
// "open" verb does. Fire and forget: whether a handler started is not reported. Abstract so
// that tests record what would have been opened.
class UrlLauncher {
public:
    virtual ~UrlLauncher() = default;

    // `ownerWindow` is the native id of the window that asks (an HWND on Windows), 0 for none.
    virtual void Open(const std::string& address, uint64_t ownerWindow) = 0;
};

// xdg-open on Linux, ShellExecuteA on Windows.
std::unique_ptr<UrlLauncher> MakeUrlLauncher();

}  // namespace pellquin
