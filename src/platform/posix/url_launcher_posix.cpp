// Opens addresses with xdg-open, the desktop's "open with the default handler". A short-lived
// shell starts the opener in the background and ends at once, so that the opener is never
// left as a zombie of this process and the caller does not wait for the browser. The address
// is passed as an argument, never as part of the shell's command text.

#include <spawn.h>
#include <sys/wait.h>

#include <memory>
#include <string>

#include "platform/url_launcher.h"

extern char** environ;

namespace pellquin {
namespace {

class XdgUrlLauncher : public UrlLauncher {
public:
    void Open(const std::string& address, uint64_t /*ownerWindow*/) override {
        std::string shell = "/bin/sh";
        std::string option = "-c";
        std::string command = "xdg-open \"$1\" >/dev/null 2>&1 </dev/null &";
        std::string name = "sh";
        std::string argument = address;
        char* argv[] = {shell.data(), option.data(),   command.data(),
                        name.data(),  argument.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
        }
    }
};

}  // namespace

std::unique_ptr<UrlLauncher> MakeUrlLauncher() {
    return std::make_unique<XdgUrlLauncher>();
}

}  // namespace pellquin
