#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/drive_mapper.h"
#include "platform/posix/smb_context.h"

namespace pellquin {
namespace {

constexpr int kMountTimeoutMs = 60000;

bool IsExecutable(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = folders.find(':', start);
        const std::string folder =
            folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty() && IsExecutable(folder + "/" + program)) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// Mounts shares through GVfs, which keeps them under /run/user/UID/gvfs, where the drive
// source finds them. gio asks for the user, domain and password on its standard input.
class DriveMapperPosix : public DriveMapper {
public:
    explicit DriveMapperPosix(std::string credentialsFile)
        : m_credentialsFile(std::move(credentialsFile)) {}

    bool ShowSystemDialog(uintptr_t /*ownerWindow*/) override { return false; }

    std::string Missing() override {
        const std::string lead = "Map Drive mounts shares through GVfs, but ";
        if (!OnPath("gio")) {
            return lead + "the program gio (Debian package libglib2.0-bin) is not installed.";
        }
        if (!IsExecutable("/usr/libexec/gvfsd-smb") && !IsExecutable("/usr/lib/gvfs/gvfsd-smb")) {
            return lead + "its SMB backend (Debian package gvfs-backends) is not installed.";
        }
        struct stat info {};
        const std::string bus = "/run/user/" + std::to_string(getuid()) + "/bus";
        if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr && stat(bus.c_str(), &info) != 0) {
            return lead + "there is no D-Bus session bus for it to run on.";
        }
        return std::string();
    }

    std::string Map(const std::string& share) override {
        if (!IsUncPathText(share) || share.size() < 5) {
            return "Enter the share as \\\\server\\share";
        }
        const std::string url = SmbUrlOf(share);
        const SmbCredentials credentials = SmbCredentialsOf(m_credentialsFile);
        const bool asUser = !credentials.user.empty();
        std::vector<std::string> args = {"gio", "mount"};
        if (!asUser) {
            args.push_back("--anonymous");
        }
        args.push_back(url);
        const std::string answers = asUser ? credentials.user + "\n" + credentials.domain + "\n" +
                                                 credentials.password + "\n"
                                           : std::string();
        return Run(args, answers);
    }

private:
    // Runs `args` with `input` on its standard input; empty on exit status 0, else its
    // output (or a description of the failure).
    static std::string Run(const std::vector<std::string>& args, const std::string& input) {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0) {
            return "Cannot start gio mount";
        }
        if (pipe2(out, O_CLOEXEC) != 0) {
            close(in[0]);
            close(in[1]);
            return "Cannot start gio mount";
        }
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(out[1], 2);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        if (child < 0) {
            close(in[1]);
            close(out[0]);
            return "Cannot start gio mount";
        }
        // The answers are short: they fit the pipe, and closing it ends any further prompt.
        struct sigaction pipeIgnore {};
        struct sigaction old {};
        pipeIgnore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &pipeIgnore, &old);
        if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
            // gio may have ended already; its status says why.
        }
        close(in[1]);
        sigaction(SIGPIPE, &old, nullptr);

        std::string output;
        struct timespec start {};
        clock_gettime(CLOCK_MONOTONIC, &start);
        bool timedOut = false;
        for (;;) {
            struct timespec now {};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const long elapsed =
                (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
            if (elapsed >= kMountTimeoutMs) {
                timedOut = true;
                break;
            }
            struct pollfd fd {
                out[0], POLLIN, 0
            };
            const int ready = poll(&fd, 1, static_cast<int>(kMountTimeoutMs - elapsed));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                timedOut = ready == 0;
                break;
            }
            char buffer[1024];
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            output.append(buffer, static_cast<size_t>(n));
        }
        close(out[0]);
        if (timedOut) {
            kill(child, SIGKILL);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (timedOut) {
            return "gio mount did not answer within a minute";
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            return std::string();
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && output.empty()) {
            return "Cannot run gio";
        }
        output = Trimmed(output);
        return output.empty() ? "gio mount failed" : output;
    }

    std::string m_credentialsFile;
};

}  // namespace

std::unique_ptr<DriveMapper> MakeDriveMapper(const std::string& credentialsFile) {
    return std::make_unique<DriveMapperPosix>(credentialsFile);
}

}  // namespace pellquin
