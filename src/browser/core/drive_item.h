#pragma once

#include <cstdint>
#include <string>

namespace pellquin {

// driveitem kinds.
constexpr int32_t kKindPath = 1;          // a drive, favourite or directory
constexpr int32_t kKindGroup = 2;         // "Drives", "Favourite Paths"
constexpr int32_t kKindAddFavourite = 3;  // the action node "Add New Favourite"

// Indexes into the image list shared by the drive tree and the file list.
enum BrowserImage : int {
    kImageNetworkDrive = 0,  // network drives, favourites
    kImageFixedDisk = 1,
    kImageFolder = 2,  // directories, and the file list's sort marker
    kImageComputer = 3,
    kImageComputerGlobe = 4,
    kImageDocument = 5,
    kBrowserImageCount = 6
};

// The data of a drive-tree node. Placeholders ("Working...") carry none.
struct driveitem {
    std::string path;  // drive root, favourite's path or directory's path; empty otherwise
    std::string name;  // a favourite's description or a network drive's remote name
    int32_t kind = 0;
    int32_t favourite = 0;  // 1 for favourites only
};

// A node to be added to the tree: its caption, image and data.
struct NodeOutline {
    std::string caption;
    int image = 0;
    driveitem item;
};

}  // namespace pellquin
