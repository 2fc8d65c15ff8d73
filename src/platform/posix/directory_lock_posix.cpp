#include "platform/posix/directory_lock_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pellquin {

int EnsureHiveDirectory(const std::string& directory) {
    if (mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST) {
        return 0;
    }
    const size_t slash = directory.rfind('/');
    if (slash == std::string::npos || slash == 0 ||
        (mkdir(directory.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) ||
        mkdir(directory.c_str(), 0700) != 0) {
        return errno;
    }
    return 0;
}

DirectoryLock::~DirectoryLock() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

void DirectoryLock::Acquire() {
    if (m_depth++ != 0 || EnsureHiveDirectory(m_directory) != 0) {
        return;
    }
    m_fd = open(m_directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(m_fd);
            m_fd = -1;
        }
    }
}

void DirectoryLock::Release() {
    if (--m_depth == 0 && m_fd >= 0) {
        close(m_fd);  // drops the lock
        m_fd = -1;
    }
}

}  // namespace pellquin
