#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/posix/smb_session_posix.h"
#include "platform/service_files.h"
#include "platform/system_directory.h"

namespace pellquin {
namespace {

int ReadLocal(const std::string& path, std::string* data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return errno != 0 ? errno : ENOENT;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return EIO;
    }
    *data = text.str();
    return 0;
}

// Makes `directory` and its missing parents, as the service directory on Linux is ours
// and may not exist before the first installation.
int MakeDirectories(const std::string& directory) {
    if (directory.empty()) {
        return 0;
    }
    struct stat info {};
    if (stat(directory.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    }
    const size_t slash = directory.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const int error = MakeDirectories(directory.substr(0, slash));
        if (error != 0) {
            return error;
        }
    }
    return mkdir(directory.c_str(), 0755) == 0 || errno == EEXIST ? 0 : errno;
}

// Writes beside the destination and renames over it, so that a program file that is running
// is replaced rather than refused as busy, and nobody sees half a file.
int WriteLocalReplacing(const std::string& destination, const std::string& data) {
    const size_t slash = destination.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : destination.substr(0, slash);
    int error = MakeDirectories(directory);
    if (error != 0) {
        return error;
    }
    std::string temporary = directory + "/.pellquin-copy-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return errno;
    }
    size_t done = 0;
    while (done < data.size() && error == 0) {
        const ssize_t put = write(fd, data.data() + done, data.size() - done);
        if (put < 0) {
            error = errno == EINTR ? 0 : errno;
        } else {
            done += static_cast<size_t>(put);
        }
    }
    if (error == 0 && fchmod(fd, 0755) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), destination.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
    }
    return error;
}

class ServiceFilesPosix : public ServiceFiles {
public:
    explicit ServiceFilesPosix(const std::string& credentialsFile) : m_smb(credentialsFile) {}

    std::string SystemDirectory() override { return pellquin::SystemDirectory(); }

    std::string ProgramDirectory() override {
        char path[PATH_MAX] = {};
        const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
        if (length <= 0) {
            return std::string();
        }
        const std::string program(path, static_cast<size_t>(length));
        return program.substr(0, program.rfind('/') + 1);
    }

    std::string ServiceProgramName() override { return "PellquinService"; }

    uint32_t Copy(const std::string& source, const std::string& destination) override {
        std::string data;
        int error = IsUncPathText(source) ? m_smb.ReadAll(source, &data) : ReadLocal(source, &data);
        if (error == 0) {
            error = IsUncPathText(destination) ? m_smb.WriteAll(destination, data)
                                               : WriteLocalReplacing(destination, data);
        }
        return Win32ErrorOfFileErrno(error);
    }

    bool IsFile(const std::string& path) override {
        struct stat info {};
        const int error = IsUncPathText(path) ? m_smb.Stat(path, &info)
                                              : (stat(path.c_str(), &info) == 0 ? 0 : errno);
        return error == 0 && !S_ISDIR(info.st_mode);
    }

    void Delete(const std::string& path) override {
        if (IsUncPathText(path)) {
            m_smb.Unlink(path);
        } else {
            unlink(path.c_str());
        }
    }

private:
    SmbSession m_smb;
};

}  // namespace

std::unique_ptr<ServiceFiles> MakeServiceFiles(const std::string& credentialsFile) {
    return std::make_unique<ServiceFilesPosix>(credentialsFile);
}

}  // namespace pellquin
