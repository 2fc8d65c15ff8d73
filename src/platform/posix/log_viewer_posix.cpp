#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/log_viewer.h"
#include "platform/posix/smb_session_posix.h"

extern char** environ;

namespace pellquin {
namespace {

// The desktop's default application through xdg-open. A log on another machine is fetched
// over SMB into a private temporary copy first, since viewers open local files.
class LogViewerPosix : public LogViewer {
public:
    bool Open(const std::string& path) override {
        std::string local = path;
        if (IsUncPathText(path)) {
            std::string data;
            if (m_smb.ReadAll(path, &data) != 0) {
                return false;
            }
            const char* tmp = std::getenv("TMPDIR");
            std::string directory =
                std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/pellquin-log-XXXXXX";
            if (mkdtemp(directory.data()) == nullptr) {
                return false;
            }
            local = directory + "/Pellquin.log";
            std::ofstream out(local, std::ios::binary);
            out << data;
            if (!out.flush()) {
                return false;
            }
        }
        return Launch(local);
    }

    std::string Name() override { return "xdg-open"; }

private:
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

    SmbSession m_smb{std::string()};
};

}  // namespace

std::unique_ptr<LogViewer> MakeLogViewer() {
    return std::make_unique<LogViewerPosix>();
}

}  // namespace pellquin
