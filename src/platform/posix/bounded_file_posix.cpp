#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/bounded_file.h"

namespace pellquin {
namespace {

int64_t ReadFromDescriptor(int fd, char* buffer, size_t room, std::string* problem) {
    ssize_t count = 0;
    do {
        count = read(fd, buffer, room);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        *problem = std::strerror(errno);
    }
    return count;
}

}  // namespace

BoundedFileRead ReadBoundedFile(const std::string& path, size_t maxBytes, FileLinks links) {
    using Status = BoundedFileRead::Status;
    // O_NONBLOCK: opening a FIFO without a writer, or a device, must not wait. It does not
    // change how a regular file reads.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (links == FileLinks::Refuse) {
        flags |= O_NOFOLLOW;
    }
    const int fd = open(path.c_str(), flags);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            return UnreadFile(Status::Missing, std::strerror(error));
        }
        if (error == ELOOP && links == FileLinks::Refuse) {
            return UnreadFile(Status::Refused, "it is a symbolic link");
        }
        return UnreadFile(Status::Failed, std::strerror(error));
    }
    BoundedFileRead result;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        result = UnreadFile(Status::Failed, std::strerror(errno));
    } else if (!S_ISREG(info.st_mode)) {
        result = UnreadFile(Status::Refused, "it is not a regular file");
    } else {
        result = ReadOpenedFile(static_cast<uint64_t>(info.st_size), maxBytes,
                                [fd](char* buffer, size_t room, std::string* problem) {
                                    return ReadFromDescriptor(fd, buffer, room, problem);
                                });
        if (result.status == Status::Read) {
            result.mode = static_cast<uint32_t>(info.st_mode & 07777);
        }
    }
    close(fd);
    return result;
}

}  // namespace pellquin
