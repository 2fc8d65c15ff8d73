#include "platform/folder_browser.h"

namespace pellquin {

// Linux has no folder dialog below the toolkits; the desktop program uses its toolkit's.
std::unique_ptr<FolderBrowser> MakeSystemFolderBrowser() {
    return nullptr;
}

}  // namespace pellquin
