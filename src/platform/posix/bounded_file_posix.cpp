#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/bounded_file.h"

namespace pellquin {
namespace {

using Status = BoundedFileRead::Status;

BoundedFileRead Refuse(Status status, std::string problem) {
    BoundedFileRead result;
    result.status = status;
    result.problem = std::move(problem);
    return result;
}

std::string TooLarge(size_t maxBytes) {
    return "it is larger than " + std::to_string(maxBytes) + " bytes";
}

}  // namespace

BoundedFileRead ReadBoundedFile(const std::string& path, size_t maxBytes, FileLinks links) {
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
            return Refuse(Status::Missing, std::strerror(error));
        }
        if (error == ELOOP && links == FileLinks::Refuse) {
            return Refuse(Status::Refused, "it is a symbolic link");
        }
        return Refuse(Status::Failed, std::strerror(error));
    }
    BoundedFileRead result;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        result = Refuse(Status::Failed, std::strerror(errno));
    } else if (!S_ISREG(info.st_mode)) {
        result = Refuse(Status::Refused, "it is not a regular file");
    } else if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > maxBytes) {
        result = Refuse(Status::Refused, TooLarge(maxBytes));
    } else {
        result.status = Status::Read;
        result.mode = static_cast<uint32_t>(info.st_mode & 07777);
        result.text.reserve(static_cast<size_t>(info.st_size));
        char buffer[8192];
        // One byte beyond the limit tells a file that grew from one that ends there.
        while (result.text.size() <= maxBytes) {
            const size_t want = std::min(sizeof buffer, maxBytes + 1 - result.text.size());
            const ssize_t count = read(fd, buffer, want);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                result = Refuse(Status::Failed, std::strerror(errno));
                break;
            }
            if (count == 0) {
                break;
            }
            result.text.append(buffer, static_cast<size_t>(count));
        }
        if (result.status == Status::Read && result.text.size() > maxBytes) {
            result = Refuse(Status::Refused, TooLarge(maxBytes));
        }
    }
    close(fd);
    return result;
}

}  // namespace pellquin
