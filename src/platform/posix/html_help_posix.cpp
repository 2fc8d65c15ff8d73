// Help on Linux: the help pages in the user's browser, through xdg-open.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/browser_help.h"
#include "platform/html_help.h"

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

// Starts the opener in the background of a shell that ends at once, so that the window
// neither waits for the browser nor leaves a zombie behind.
bool OpenDetached(const std::string& url) {
    const std::string command = std::string(kOpener) + " \"$1\" >/dev/null 2>&1 &";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), "sh", url.c_str(), nullptr};
    pid_t shell = 0;
    if (::posix_spawn(&shell, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
        0) {
        return false;
    }
    int status = 0;
    while (::waitpid(shell, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::unique_ptr<HtmlHelp> MakeHtmlHelp() {
    return std::make_unique<BrowserHelp>(OpenDetached, [] { return OnPath(kOpener); });
}

}  // namespace pellquin
