#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/log_viewer.h"
#include "platform/posix/remote_path_posix.h"
#include "platform/posix/smb_session_posix.h"
#include "platform/posix/target_shell_posix.h"

extern char** environ;

namespace pellquin {
namespace {

// True when `program` is an executable file in one of PATH's folders.
bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = folders.find(':', start);
        const std::string folder =
            folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

// The desktop's default application through xdg-open, or the program's own text window where
// there is no desktop. A log on another machine is fetched (over ssh, or SMB for a UNC path)
// into a private temporary copy first, since viewers open local files; the copy is removed
// when the next log is opened and when the viewer ends (xdg-open's application reads it
// meanwhile), or as soon as the text window has read it.
class LogViewerPosix : public LogViewer {
public:
    explicit LogViewerPosix(LogTextWindow window) : m_window(std::move(window)) {}
    ~LogViewerPosix() override { RemoveCopy(); }
    LogViewerPosix(const LogViewerPosix&) = delete;
    LogViewerPosix& operator=(const LogViewerPosix&) = delete;

    bool Open(const std::string& path) override {
        RemoveCopy();
        std::string local = path;
        RemotePath remote;
        const bool isRemote = SplitRemotePath(path, &remote);
        if (isRemote || IsUncPathText(path)) {
            std::string data;
            if (isRemote) {
                const ShellResult fetched =
                    TargetShell(remote.machine).Run("cat -- " + ShellQuoted(remote.path));
                if (fetched.exitCode != 0) {
                    return false;
                }
                data = fetched.output;
            } else if (m_smb.ReadAll(path, &data) != 0) {
                return false;
            }
            if (!WriteCopy(data, &local)) {
                return false;
            }
        }
        const bool desktop = OnPath("xdg-open") && HasDisplay();
        if (m_window && !desktop) {
            const bool shown = m_window(local);
            RemoveCopy();
            return shown;
        }
        return Launch(local);
    }

    std::string Name() override { return "xdg-open"; }

private:
    // A folder only this user may enter, in TMPDIR (default /tmp), holding Pellquin.log.
    bool WriteCopy(const std::string& data, std::string* local) {
        const char* tmp = std::getenv("TMPDIR");
        std::string directory =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/pellquin-log-XXXXXX";
        if (mkdtemp(directory.data()) == nullptr) {
            return false;
        }
        m_copyDirectory = directory;
        *local = directory + "/Pellquin.log";
        std::ofstream out(*local, std::ios::binary);
        out << data;
        return static_cast<bool>(out.flush());
    }

    void RemoveCopy() {
        if (!m_copyDirectory.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_copyDirectory, ignored);
            m_copyDirectory.clear();
        }
    }

    // Starts xdg-open from an intermediate child that is reaped at once, so the viewer runs
    // on without being waited for and leaves no zombie behind. True when xdg-open started.
    static bool Launch(const std::string& path) {
        const pid_t child = fork();
        if (child < 0) {
            return false;
        }
        if (child == 0) {
            setsid();
            char* const argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(path.c_str()),
                                  nullptr};
            pid_t viewer = 0;
            _exit(posix_spawnp(&viewer, "xdg-open", nullptr, nullptr, argv, environ) == 0 ? 0 : 1);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    LogTextWindow m_window;
    SmbSession m_smb{std::string()};
    std::string m_copyDirectory;
};

}  // namespace

std::unique_ptr<LogViewer> MakeLogViewer(LogTextWindow window) {
    return std::make_unique<LogViewerPosix>(std::move(window));
}

}  // namespace pellquin
