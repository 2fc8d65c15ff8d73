#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/credentials_file.h"

namespace pellquin {

CredentialsLoad LoadCredentialsFile(const std::string& path, SmbCredentials* credentials,
                                    std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        *error = "Cannot read the credentials file " + path + ": " + std::strerror(code);
        return code == ENOENT ? CredentialsLoad::Missing : CredentialsLoad::Failed;
    }
    // The mode is checked on the open descriptor, so the file judged is the file read.
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        *error = "Cannot read the credentials file " + path + ": " + std::strerror(errno);
        close(fd);
        return CredentialsLoad::Failed;
    }
    const std::string problem = CredentialsModeProblem(path, info.st_mode & 07777);
    if (!problem.empty()) {
        *error = problem;
        close(fd);
        return CredentialsLoad::Failed;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            *error = "Cannot read the credentials file " + path + ": " + std::strerror(errno);
            close(fd);
            return CredentialsLoad::Failed;
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    std::string parseError;
    if (!ParseCredentials(text, credentials, &parseError)) {
        *error = "The credentials file " + path + " is malformed: " + parseError;
        return CredentialsLoad::Failed;
    }
    return CredentialsLoad::Loaded;
}

}  // namespace pellquin
