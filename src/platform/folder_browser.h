#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace pellquin {

// The system's dialog for choosing a folder.
class FolderBrowser {
public:
    virtual ~FolderBrowser() = default;

    // Shows the dialog owned by the native window `ownerWindow`, without a title text.
    // Returns the chosen folder's file-system path; nullopt when the user cancelled.
    virtual std::optional<std::string> BrowseForFolder(uintptr_t ownerWindow) = 0;
};

// The system's own folder dialog; nullptr where the system has none of its own (Linux),
// and the toolkit's dialog serves instead.
std::unique_ptr<FolderBrowser> MakeSystemFolderBrowser();

}  // namespace pellquin
