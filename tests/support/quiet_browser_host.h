#pragma once

#include <string>
#include <vector>

#include "browser/browser_services.h"

namespace pellquin::test {

// A host for a path browser on its own: Check and the texts go nowhere, directory names are
// shown, and `favourites` (which must outlive the host) is the list, saved nowhere.
inline BrowserHost QuietBrowserHost(std::vector<std::string>& favourites) {
    BrowserHost host;
    host.setPathText = [](const std::string&) {};
    host.setStatusText = [](const std::string&) {};
    host.checkPath = [] {};
    host.showDirectoryNames = [] { return true; };
    host.favourites = [&favourites]() -> std::vector<std::string>& { return favourites; };
    host.saveFavourites = [] {};
    return host;
}

}  // namespace pellquin::test
