#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/directory_lister.h"
#include "platform/drive_mapper.h"
#include "platform/drive_source.h"
#include "platform/folder_browser.h"

namespace pellquin {

// The platform facilities of the path browser, owned by it. Drives, directories and mapper
// must be set: the browser refuses to be built without one (std::invalid_argument). `folders`
// may be null where the system has no folder dialog of its own: the toolkit's serves.
struct BrowserServices {
    std::unique_ptr<DriveSource> drives;
    std::unique_ptr<DirectoryLister> directories;
    std::unique_ptr<DriveMapper> mapper;
    std::unique_ptr<FolderBrowser> folders;
};

// What the browser uses of the main window that hosts it. Every member must be set.
struct BrowserHost {
    std::function<void(const std::string&)> setPathText;    // the path box's text
    std::function<void(const std::string&)> setStatusText;  // the status bar, repainted
    std::function<void()> checkPath;                        // the Check command
    std::function<bool()> showDirectoryNames;               // chkShowDirectoryNames
    std::function<std::vector<std::string>&()> favourites;  // the favourites list
    std::function<void()> saveFavourites;
};

}  // namespace pellquin
