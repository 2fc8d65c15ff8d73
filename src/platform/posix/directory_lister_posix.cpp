#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/directory_lister.h"
#include "platform/posix/smb_context.h"

namespace pellquin {
namespace {

constexpr uint16_t kAttributeDirectory = 0x10;
// libsmbclient's time-out for each connect and reply while browsing, in milliseconds.
constexpr int kBrowseTimeoutMs = 4000;

LocalTime ToLocal(time_t seconds) {
    struct tm fields {};
    if (localtime_r(&seconds, &fields) == nullptr) {
        return LocalTime{};
    }
    return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                     fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

// A Windows search returns a folder's entries in name order, where readdir returns them in
// the file system's own order (hash order on ext4); the tree adds folders in the order it
// gets them. Name order here is the locale's collation (LC_COLLATE), bytes breaking ties.
void DeliverInSearchOrder(std::vector<DirectoryEntry> entries,
                          const std::function<void(const DirectoryEntry&)>& onEntry) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const DirectoryEntry& a, const DirectoryEntry& b) {
                         const int order = std::strcoll(a.name.c_str(), b.name.c_str());
                         return order != 0 ? order < 0 : a.name < b.name;
                     });
    for (const DirectoryEntry& entry : entries) {
        onEntry(entry);
    }
}

// Local directories through the file system (symbolic links followed, as a user opening one
// expects; a dangling link is listed as a file); UNC paths through libsmbclient.
class DirectoryListerPosix : public DirectoryLister {
public:
    explicit DirectoryListerPosix(std::string credentialsFile)
        : m_smb(std::move(credentialsFile)) {}

    bool IsDirectory(const std::string& path) override {
        if (IsUncPathText(path)) {
            Context();  // with the browsing time-out before the first connect
        }
        return IsDirectoryPath(path, &m_smb);
    }

    void List(const std::string& path,
              const std::function<void(const DirectoryEntry&)>& onEntry) override {
        if (IsUncPathText(path)) {
            ListRemote(path, nullptr, onEntry);
        } else {
            ListLocal(path, onEntry);
        }
    }

    // A UNC folder is opened once: the open that tells it is a directory also lists it.
    bool ListDirectory(const std::string& path, const std::function<void()>& onOpened,
                       const std::function<void(const DirectoryEntry&)>& onEntry) override {
        if (!IsUncPathText(path)) {
            return DirectoryLister::ListDirectory(path, onOpened, onEntry);
        }
        return ListRemote(path, onOpened, onEntry);
    }

private:
    static void ListLocal(const std::string& path,
                          const std::function<void(const DirectoryEntry&)>& onEntry) {
        DIR* dir = opendir(path.c_str());
        if (dir == nullptr) {
            return;
        }
        const int fd = dirfd(dir);
        std::vector<DirectoryEntry> entries;
        while (const dirent* found = readdir(dir)) {
            DirectoryEntry entry;
            entry.name = found->d_name;
            struct statx info {};
            const unsigned mask = STATX_TYPE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;
            if (statx(fd, found->d_name, AT_STATX_SYNC_AS_STAT, mask, &info) != 0 &&
                statx(fd, found->d_name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, mask,
                      &info) != 0) {
                // A folder that may be listed but not entered (or an entry gone since the
                // read): the directory entry's own type is all there is. "." and ".." are
                // folders also where the file system reports no type.
                entry.directory =
                    found->d_type == DT_DIR || entry.name == "." || entry.name == "..";
                entries.push_back(std::move(entry));
                continue;
            }
            entry.directory = S_ISDIR(info.stx_mode);
            entry.size = entry.directory ? 0 : info.stx_size;
            entry.lastWrite = ToLocal(info.stx_mtime.tv_sec);
            entry.lastAccess = ToLocal(info.stx_atime.tv_sec);
            if ((info.stx_mask & STATX_BTIME) != 0) {
                entry.creation = ToLocal(info.stx_btime.tv_sec);
            }
            entries.push_back(std::move(entry));
        }
        closedir(dir);
        DeliverInSearchOrder(std::move(entries), onEntry);
    }

    // False when the directory cannot be opened; `onOpened` (may be empty) runs once it is.
    bool ListRemote(const std::string& path, const std::function<void()>& onOpened,
                    const std::function<void(const DirectoryEntry&)>& onEntry) {
        SMBCCTX* context = Context();
        if (context == nullptr) {
            return false;
        }
        SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, SmbUrlOf(path).c_str());
        if (dir == nullptr) {
            return false;
        }
        if (onOpened) {
            onOpened();
        }
        const auto readdirplus = smbc_getFunctionReaddirPlus(context);
        std::vector<DirectoryEntry> entries;
        while (const libsmb_file_info* found = readdirplus(context, dir)) {
            DirectoryEntry entry;
            entry.name = found->name != nullptr ? found->name : "";
            entry.directory = (found->attrs & kAttributeDirectory) != 0;
            entry.size = entry.directory ? 0 : found->size;
            entry.lastWrite = ToLocal(found->mtime_ts.tv_sec);
            entry.lastAccess = ToLocal(found->atime_ts.tv_sec);
            if (found->btime_ts.tv_sec != 0) {
                entry.creation = ToLocal(found->btime_ts.tv_sec);
            }
            entries.push_back(std::move(entry));
        }
        smbc_getFunctionClosedir(context)(context, dir);
        DeliverInSearchOrder(std::move(entries), onEntry);
        return true;
    }

    // The browser waits for the server on the GUI thread: an unreachable server must let go
    // within a few seconds, not within libsmbclient's default of 20.
    SMBCCTX* Context() {
        SMBCCTX* context = m_smb.Get();
        if (context != nullptr && !m_timeoutSet) {
            smbc_setTimeout(context, kBrowseTimeoutMs);
            m_timeoutSet = true;
        }
        return context;
    }

    SmbContext m_smb;
    bool m_timeoutSet = false;
};

}  // namespace

std::unique_ptr<DirectoryLister> MakeDirectoryLister(const std::string& credentialsFile) {
    return std::make_unique<DirectoryListerPosix>(credentialsFile);
}

}  // namespace pellquin
