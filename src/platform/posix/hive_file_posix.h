#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/posix/directory_lock_posix.h"
#include "platform/registry_hive.h"

namespace pellquin {

// One root's hive file, "<directory>/<rootName>.reg", in REGEDIT4 text.
//
// Every change rewrites the whole file through a temporary file in the same directory that
// is flushed and renamed over the hive: a crash leaves the old file or the new one, never a
// mixture. Temporaries that a killed save left behind are removed by the next save that
// holds the directory lock. A file that cannot be parsed is renamed to "<name>.bad-<time>"
// and the hive starts empty; it is never overwritten in place. A file that is no regular
// file, is a symbolic link or is larger than kMaxBytes is neither read nor replaced. Before
// each call the file is checked for a change by another process.
class HiveFile {
public:
    // Hives beyond this are refused when read, and never written.
    static constexpr size_t kMaxBytes = 64u << 20;

    HiveFile(std::string directory, std::string rootName, DirectoryLock& lock)
        : m_directory(std::move(directory)),
          m_rootName(std::move(rootName)),
          m_path(m_directory + "/" + m_rootName + ".reg"),
          m_lock(lock) {}

    // The hive as the file holds it now.
    RegistryHive& Current();

    // Writes `next` in place of the file; the hive in memory changes only when that worked.
    // Call while holding the directory lock, from reading the hive that `next` was made from.
    uint32_t Commit(RegistryHive next);

private:
    // Identifies one version of a file, so that a replacement by another process is noticed.
    struct Version {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};

        bool operator==(const Version& other) const;
    };

    Version VersionOnDisk() const;
    void Refresh();
    void MoveAside(const Version& damaged);
    void RemoveStaleTemporaries() const;
    uint32_t WriteAtomically(const std::string& text) const;

    std::string m_directory;
    std::string m_rootName;
    std::string m_path;
    DirectoryLock& m_lock;
    RegistryHive m_hive;
    Version m_version;
    bool m_loaded = false;
    bool m_writable = true;  // false while a file we could not read or move aside is there
};

}  // namespace pellquin
