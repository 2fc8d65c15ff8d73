#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/directory_lister.h"

namespace pellquin::test {

// Directories by path, each with its entries in search order; every other path is missing.
// Records the paths listed.
class FakeDirectoryLister : public DirectoryLister {
public:
    std::map<std::string, std::vector<DirectoryEntry>> directories;
    std::vector<std::string> listed;

    bool IsDirectory(const std::string& path) override { return directories.count(path) != 0; }
    void List(const std::string& path,
              const std::function<void(const DirectoryEntry&)>& onEntry) override {
        listed.push_back(path);
        const auto found = directories.find(path);
        if (found == directories.end()) {
            return;
        }
        for (const DirectoryEntry& entry : found->second) {
            onEntry(entry);
        }
    }
};

}  // namespace pellquin::test
