// Help on Linux: the help pages in the user's browser, through xdg-open.

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/browser_help.h"
#include "platform/html_help.h"

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

// Starts the opener detached (a grandchild that init reaps), so that the window neither waits
// for the browser nor leaves a zombie behind.
bool OpenDetached(const std::string& url) {
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        if (::fork() == 0) {
            ::execlp(kOpener, kOpener, url.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::unique_ptr<HtmlHelp> MakeHtmlHelp() {
    return std::make_unique<BrowserHelp>(OpenDetached, [] { return OnPath(kOpener); });
}

}  // namespace pellquin
