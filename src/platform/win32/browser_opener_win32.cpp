// The browser on Windows, through the shell's "open" verb.

// <windows.h> first: <shellapi.h> needs its types.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/browser_opener.h"

namespace pellquin {
namespace {

class ShellBrowserOpener : public BrowserOpener {
public:
    // The shell always offers the verb; whether a handler exists shows when opening.
    bool Available() override { return true; }

    bool Open(const std::string& url) override {
        // Values above 32 mean success (the documented contract of ShellExecute).
        const auto result = reinterpret_cast<intptr_t>(
            ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    }
};

}  // namespace

std::unique_ptr<BrowserOpener> MakeBrowserOpener() {
    return std::make_unique<ShellBrowserOpener>();
}

}  // namespace pellquin
