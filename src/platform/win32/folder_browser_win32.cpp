#include <shlobj.h>
#include <windows.h>

#include "platform/folder_browser.h"

namespace pellquin {
namespace {

class FolderBrowserWin32 : public FolderBrowser {
public:
    std::optional<std::string> BrowseForFolder(uintptr_t ownerWindow) override {
        BROWSEINFOA info{};
        char display[MAX_PATH] = "";
        info.hwndOwner = reinterpret_cast<HWND>(ownerWindow);
        info.pszDisplayName = display;
        info.lpszTitle = nullptr;
        info.ulFlags = BIF_RETURNONLYFSDIRS;
        PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
        if (chosen == nullptr) {
            return std::nullopt;
        }
        char path[MAX_PATH] = "";
        const BOOL found = SHGetPathFromIDListA(chosen, path);
        CoTaskMemFree(chosen);
        if (!found) {
            return std::nullopt;
        }
        return std::string(path);
    }
};

}  // namespace

std::unique_ptr<FolderBrowser> MakeSystemFolderBrowser() {
    return std::make_unique<FolderBrowserWin32>();
}

}  // namespace pellquin
