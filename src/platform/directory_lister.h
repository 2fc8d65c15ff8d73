#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace pellquin {

// A time stamp in this machine's local time, to the second. year 0: the file system keeps
// no such time for the entry (a creation time where none is recorded).
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// One entry of a directory as its search returns it.
struct DirectoryEntry {
    std::string name;
    bool directory = false;
    uint64_t size = 0;  // bytes; 0 for directories
    LocalTime lastWrite;
    LocalTime lastAccess;
    LocalTime creation;
};

// Reads directories: local paths through the file system, UNC paths ("\\server\share\dir";
// on Linux also "//server/share/dir") over the network. Abstract so that the browser can be
// tested with scripted directories.
class DirectoryLister {
public:
    virtual ~DirectoryLister() = default;

    // True when `path` exists and is a directory; drive roots and share roots included.
    virtual bool IsDirectory(const std::string& path) = 0;

    // Calls `onEntry` for every entry of the directory `path`, "." and ".." included where
    // the system reports them, in the order the system returns them (on Linux, name order in
    // the locale's collation, as a Windows search returns them). A directory that cannot
    // be read (missing, no rights) reports nothing.
    virtual void List(const std::string& path,
                      const std::function<void(const DirectoryEntry&)>& onEntry) = 0;

    // IsDirectory and List in one: false when `path` is no directory (nothing called);
    // otherwise calls `onOpened` once, then `onEntry` as List does, and returns true. Over the
    // network a directory is then opened once instead of twice. The default asks both.
    virtual bool ListDirectory(const std::string& path, const std::function<void()>& onOpened,
                               const std::function<void(const DirectoryEntry&)>& onEntry) {
        if (!IsDirectory(path)) {
            return false;
        }
        onOpened();
        List(path, onEntry);
        return true;
    }
};

// UNC paths are read as the user of the smbclient-style authentication file
// `credentialsFile` (empty: the default file), as the path probe does. Windows reads them
// with the logon session's rights.
std::unique_ptr<DirectoryLister> MakeDirectoryLister(const std::string& credentialsFile);

}  // namespace pellquin
