// Opens addresses with the shell's "open" verb.

// <windows.h> first: <shellapi.h> needs its types.
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>

#include "platform/url_launcher.h"

namespace pellquin {
namespace {

class ShellUrlLauncher : public UrlLauncher {
public:
    void Open(const std::string& address, uint64_t ownerWindow) override {
        // The result is not examined: the shell shows its own message when nothing handles
        // the address.
        ShellExecuteA(reinterpret_cast<HWND>(static_cast<uintptr_t>(ownerWindow)), "open",
                      address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
};

}  // namespace

std::unique_ptr<UrlLauncher> MakeUrlLauncher() {
    return std::make_unique<ShellUrlLauncher>();
}

}  // namespace pellquin
