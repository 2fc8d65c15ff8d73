#include "browser/core/browser_logic.h"

#include <algorithm>

#include "browser/core/browser_texts.h"

namespace pellquin {
namespace {

bool IsDots(const std::string& name) {
    return name == "." || name == "..";
}

}  // namespace

std::vector<NodeOutline> DriveNodes(const std::vector<DriveInfo>& drives) {
    std::vector<NodeOutline> nodes;
    for (const DriveInfo& drive : drives) {
        NodeOutline node;
        node.item.path = drive.root;
        node.item.kind = kKindPath;
        if (drive.type == DriveType::Remote) {
            node.caption = DriveCaption(drive.localName, drive.remoteName);
            node.image = kImageNetworkDrive;
            node.item.name = drive.remoteName;
        } else if (drive.type == DriveType::Fixed) {
            node.caption = DriveCaption(drive.localName, drive.label);
            node.image = kImageFixedDisk;
        } else {
            continue;
        }
        nodes.push_back(node);
    }
    return nodes;
}

NodeOutline FavouriteNode(const std::string& entry) {
    const FavouriteParts parts = SplitFavourite(entry);
    NodeOutline node;
    node.caption = parts.description;
    node.image = kImageNetworkDrive;
    node.item = driveitem{parts.path, parts.description, kKindPath, 1};
    return node;
}

NodeOutline DirectoryNode(const std::string& parentPath, const std::string& name) {
    NodeOutline node;
    node.caption = name;
    node.image = kImageFolder;
    node.item = driveitem{ChildPath(parentPath, name), std::string(), kKindPath, 0};
    return node;
}

PopupItems PopupItemsFor(const driveitem* item) {
    PopupItems items;
    if (item != nullptr) {
        items.check = item->kind == kKindPath;
        items.deleteFavourite = item->favourite == 1;
    }
    return items;
}

std::optional<std::vector<std::string>> SubdirectoryNames(
    DirectoryLister& lister, const std::string& path,
    const std::function<void(const std::string&)>& progress) {
    std::vector<std::string> names;
    const bool listed = lister.ListDirectory(
        path,
        [&progress] {
            if (progress) {
                progress(kLoadingDirectories);
            }
        },
        [&names](const DirectoryEntry& entry) {
            if (entry.directory && !IsDots(entry.name)) {
                names.push_back(entry.name);
            }
        });
    if (!listed) {
        return std::nullopt;
    }
    return names;
}

std::optional<std::vector<FileItem>> ListFileItems(
    DirectoryLister& lister, const std::string& path, bool showDirectories,
    const DateTextFunction& dateText, const std::function<void(const std::string&)>& progress) {
    std::vector<FileItem> items;
    TimeStampFormatter times(dateText);
    long counter = 0;
    const bool listed = lister.ListDirectory(
        path,
        [&progress] {
            if (progress) {
                progress(kLoadingDirectoryContents);
            }
        },
        [&](const DirectoryEntry& entry) {
            if (!entry.directory || (showDirectories && !IsDots(entry.name))) {
                items.push_back(MakeFileItem(entry, times));
            }
            ++counter;
            if (counter % 100 == 0 && progress) {
                progress(std::string(kLoadingDirectoryContents) + " " + std::to_string(counter));
            }
        });
    if (!listed) {
        return std::nullopt;
    }
    return items;
}

bool RemoveFavourite(std::vector<std::string>& favourites, size_t position, const driveitem& item) {
    auto holds = [&item](const std::string& entry, bool withPath) {
        const FavouriteParts parts = SplitFavourite(entry);
        return parts.description == item.name && (!withPath || parts.path == item.path);
    };
    auto found = favourites.end();
    if (position < favourites.size() && holds(favourites[position], true)) {
        found = favourites.begin() + static_cast<std::ptrdiff_t>(position);
    }
    if (found == favourites.end()) {
        found = std::find_if(favourites.begin(), favourites.end(),
                             [&holds](const std::string& entry) { return holds(entry, true); });
    }
    if (found == favourites.end()) {
        found = std::find_if(favourites.begin(), favourites.end(),
                             [&holds](const std::string& entry) { return holds(entry, false); });
    }
    if (found == favourites.end()) {
        return false;
    }
    favourites.erase(found);
    return true;
}

}  // namespace pellquin
