#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "browser/core/browser_texts.h"
#include "browser/core/drive_item.h"
#include "browser/core/file_item.h"
#include "platform/directory_lister.h"
#include "platform/drive_source.h"

namespace pellquin {

// The nodes under "Drives" for the drives a source reported: fixed and network drives only,
// in the source's order, captioned with the label or remote name in parentheses.
std::vector<NodeOutline> DriveNodes(const std::vector<DriveInfo>& drives);

// The node of a stored favourite (split at its first "|||").
NodeOutline FavouriteNode(const std::string& entry);

// The node of the directory `name` inside the path node `parentPath`.
NodeOutline DirectoryNode(const std::string& parentPath, const std::string& name);

// Which items of the tree's pop-up menu show for the selected node (nullptr: none selected,
// or a placeholder).
struct PopupItems {
    bool check = false;
    bool deleteFavourite = false;
};
PopupItems PopupItemsFor(const driveitem* item);

// The sub-directories of `path` in the order the search returns them ("." and ".." left out,
// hidden ones included); nullopt when `path` is not an existing directory. `progress`
// receives "Loading Directories" once the directory is found.
std::optional<std::vector<std::string>> SubdirectoryNames(
    DirectoryLister& lister, const std::string& path,
    const std::function<void(const std::string&)>& progress);

// The file list's items for `path`: every file, and every directory but "." and ".." when
// `showDirectories`, in search order, their dates written by `dateText`. `progress` receives
// "Loading Directory Contents" once the directory is found, then the same text with " N" at every
// hundredth entry, counting every entry the search returned. nullopt when `path` is not an existing
// directory.
std::optional<std::vector<FileItem>> ListFileItems(
    DirectoryLister& lister, const std::string& path, bool showDirectories,
    const DateTextFunction& dateText, const std::function<void(const std::string&)>& progress);

// Removes the stored favourite of a favourite node: the entry at `position` (the node's place
// among the favourites) when it holds the node's description and path; otherwise the first
// entry that holds them; otherwise the first entry with the node's description. Matching by
// description alone would remove another favourite of the same name than the one chosen.
// At most one entry goes; returns whether one did.
bool RemoveFavourite(std::vector<std::string>& favourites, size_t position, const driveitem& item);

}  // namespace pellquin
