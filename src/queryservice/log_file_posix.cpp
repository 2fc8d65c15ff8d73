#include "queryservice/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellquin {

const char* const kLogLineEnd = "\n";

bool AppendToLogFile(const std::string& path, const std::string& text) {
    // O_NONBLOCK: a FIFO put in the log's place must not stall the service.
    const int fd =
        open(path.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0640);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
    size_t written = 0;
    while (ok && written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n <= 0) {
            ok = false;
        } else {
            written += static_cast<size_t>(n);
        }
    }
    close(fd);
    return ok;
}

}  // namespace pellquin
