// The browser on Linux, through xdg-open.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "platform/browser_opener.h"

extern char** environ;

namespace pellquin {
namespace {

const char kOpener[] = "xdg-open";

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

class XdgBrowserOpener : public BrowserOpener {
public:
    bool Available() override { return OnPath(kOpener); }

    // Starts the opener in the background of a shell that ends at once, so that the window
    // neither waits for the browser nor leaves a zombie behind.
    bool Open(const std::string& url) override {
        const std::string command = std::string(kOpener) + " \"$1\" >/dev/null 2>&1 &";
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), "sh", url.c_str(), nullptr};
        pid_t shell = 0;
        if (::posix_spawn(&shell, argv[0], nullptr, nullptr, const_cast<char* const*>(argv),
                          environ) != 0) {
            return false;
        }
        int status = 0;
        while (::waitpid(shell, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

}  // namespace

std::unique_ptr<BrowserOpener> MakeBrowserOpener() {
    return std::make_unique<XdgBrowserOpener>();
}

}  // namespace pellquin
