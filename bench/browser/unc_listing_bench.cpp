// Times reading a UNC folder of 20,000 files from a private Samba server (address
// 127.0.0.199; needs root) through the real directory adapter, the way the file list reads it
// (one open) and the way it read it before (a test open, then the listing), against
// `smbclient ls` of the same folder in the same run.
#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "browser/core/browser_logic.h"
#include "platform/directory_lister.h"
#include "samba_sandbox.h"

namespace {

using namespace pellquin;

template <typename F>
double Milliseconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main() {
    constexpr int kFiles = 20000;
    std::string reason;
    if (!test::SambaSandbox::CanRun(&reason)) {
        std::printf("skipped: private Samba server: %s\n", reason.c_str());
        return 0;
    }
    test::SambaSandbox sandbox("127.0.0.199");
    if (!sandbox.ok()) {
        std::printf("skipped: %s\n", sandbox.error().c_str());
        return 0;
    }
    const std::string folder = sandbox.shareDir() + "/big";
    if (std::system(("mkdir -p '" + folder + "'").c_str()) != 0) {
        return 1;
    }
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = folder + "/file" + std::to_string(i) + ".dat";
        const int fd = ::open(name.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    const std::string unc = sandbox.uncRoot() + "\\big";
    auto lister = MakeDirectoryLister(sandbox.userCredentials());
    const DateTextFunction dateText = [](const LocalTime&) { return std::string("d"); };
    size_t shown = 0;
    // The first read makes the connection; it is not counted.
    ListFileItems(*lister, unc, true, dateText, nullptr);

    std::printf("UNC folder of %d files over SMB (%s)\n", kFiles, unc.c_str());
    for (int run = 1; run <= 3; ++run) {
        const double once = Milliseconds([&] {
            const auto items = ListFileItems(*lister, unc, true, dateText, nullptr);
            shown = items ? items->size() : 0;
        });
        size_t entries = 0;
        const double twice = Milliseconds([&] {
            if (lister->IsDirectory(unc)) {
                lister->List(unc, [&entries](const DirectoryEntry&) { ++entries; });
            }
        });
        const std::string command = "smbclient -N -A '" + sandbox.userCredentials() + "' //" +
                                    sandbox.ip() + "/data -c 'cd big; ls' > /dev/null 2>&1";
        int status = 0;
        const double smbclient = Milliseconds([&] { status = std::system(command.c_str()); });
        std::printf(
            "  run %d: file list %7.1f ms (%zu items, one open), open then list %7.1f ms, "
            "smbclient ls %7.1f ms%s\n",
            run, once, shown, twice, smbclient, status == 0 ? "" : " (smbclient failed)");
    }
    return 0;
}
