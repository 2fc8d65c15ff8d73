#include "platform/posix/hive_file_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/bounded_file.h"
#include "platform/regedit_text.h"

namespace pellquin {
namespace {

// A temporary is "<name>.reg.tmp." and six characters that mkstemp chooses.
constexpr char kTemporaryInfix[] = ".tmp.";

uint32_t StatusOf(int error) {
    return (error == EACCES || error == EPERM || error == EROFS) ? kRegAccessDenied : kRegIoFailed;
}

// Whether `name` is `prefix` and six characters of mkstemp's alphabet.
bool IsTemporaryName(const std::string& name, const std::string& prefix) {
    constexpr size_t kRandom = 6;
    if (name.size() != prefix.size() + kRandom || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool HiveFile::Version::operator==(const Version& other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
}

RegistryHive& HiveFile::Current() {
    Refresh();
    return m_hive;
}

uint32_t HiveFile::Commit(RegistryHive next) {
    if (!m_writable) {
        return kRegAccessDenied;
    }
    const std::string text = FormatRegeditText(next, m_rootName);
    if (text.size() > kMaxBytes) {
        return kRegIoFailed;  // it could not be read back
    }
    const uint32_t status = WriteAtomically(text);
    if (status == kRegSuccess) {
        m_hive = std::move(next);
        m_version = VersionOnDisk();
    }
    return status;
}

HiveFile::Version HiveFile::VersionOnDisk() const {
    Version version;
    struct stat info {};
    // The link itself: a link is never read through, and its replacement must be noticed.
    if (lstat(m_path.c_str(), &info) == 0) {
        version.exists = true;
        version.device = info.st_dev;
        version.inode = info.st_ino;
        version.size = info.st_size;
        version.modified = info.st_mtim;
    }
    return version;
}

void HiveFile::Refresh() {
    const Version version = VersionOnDisk();
    if (m_loaded && version == m_version) {
        return;
    }
    m_loaded = true;
    m_version = version;
    m_hive = RegistryHive();
    m_writable = true;
    if (!version.exists) {
        return;
    }
    const BoundedFileRead file = ReadBoundedFile(m_path, kMaxBytes, FileLinks::Refuse);
    if (file.status == BoundedFileRead::Status::Missing) {
        m_loaded = false;  // removed since the look: look again at the next call
        return;
    }
    if (file.status != BoundedFileRead::Status::Read) {
        // Unreadable: keep out of its way rather than replace what we cannot see.
        m_writable = false;
        return;
    }
    RegistryHive parsed;
    if (!ParseRegeditText(file.text, m_rootName, &parsed).has_value()) {
        m_hive = std::move(parsed);
        return;
    }
    MoveAside(version);
}

// Renames a damaged hive to "<name>.bad-<local time>" so that the user can repair it;
// `damaged` is the version that failed to parse. When another process has replaced it
// meanwhile, the replacement is left alone and read at the next call.
void HiveFile::MoveAside(const Version& damaged) {
    const DirectoryLock::Hold hold(m_lock);
    if (!(VersionOnDisk() == damaged)) {
        m_loaded = false;
        return;
    }
    char stamp[32];
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string target = m_path + ".bad-" + stamp;
    struct stat info {};
    for (int n = 1; lstat(target.c_str(), &info) == 0; ++n) {
        target = m_path + ".bad-" + stamp + "-" + std::to_string(n);
    }
    if (rename(m_path.c_str(), target.c_str()) == 0) {
        m_version = VersionOnDisk();
    } else if (errno != ENOENT) {
        m_writable = false;
    }
}

// Each is a full copy of a hive, secrets included. Only a save that holds the directory lock
// may call this: every save writes its temporary under that lock, so whatever temporary is
// there now belongs to a save that was killed.
void HiveFile::RemoveStaleTemporaries() const {
    DIR* directory = opendir(m_directory.c_str());
    if (directory == nullptr) {
        return;
    }
    const std::string prefix = m_rootName + ".reg" + kTemporaryInfix;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(directory)) {
        struct stat info {};
        if (IsTemporaryName(entry->d_name, prefix) &&
            fstatat(dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            stale.push_back(entry->d_name);
        }
    }
    for (const std::string& name : stale) {
        unlinkat(dirfd(directory), name.c_str(), 0);
    }
    closedir(directory);
}

uint32_t HiveFile::WriteAtomically(const std::string& text) const {
    if (const int error = EnsureHiveDirectory(m_directory)) {
        return StatusOf(error);
    }
    if (m_lock.IsHeld()) {
        RemoveStaleTemporaries();
    }
    std::string temporary = m_path + kTemporaryInfix + "XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return StatusOf(errno);
    }
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        written += static_cast<size_t>(count);
    }
    int error = written == text.size() ? 0 : errno;
    if (error == 0 && fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), m_path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
        return StatusOf(error);
    }
    // The directory is not flushed: after a power cut the rename may be undone, which
    // loses the last change but never mixes two versions, and saves stay twice as fast.
    return kRegSuccess;
}

}  // namespace pellquin
