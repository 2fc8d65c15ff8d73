// The Linux launcher hands the address to xdg-open as one argument, never as shell text.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/url_launcher.h"

namespace pellquin::test {
namespace {

TEST(UrlLauncherPosix, PassesTheAddressAsOneArgument) {
    char pattern[] = "/tmp/pq-launcher-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string script = dir + "/xdg-open";
    // A stand-in opener that records its arguments, one per line.
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " << dir
                          << "/opened.tmp\nmv " << dir << "/opened.tmp " << dir << "/opened\n";
    chmod(script.c_str(), 0755);
    const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (dir + ":" + oldPath).c_str(), 1);

    const std::string address = "http://d.example/a b?x=1&y='$(touch " + dir + "/pwned)'\"`;";
    MakeUrlLauncher()->Open(address, 0);
    setenv("PATH", oldPath.c_str(), 1);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(dir + "/opened") &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(dir + "/opened");
    const std::string opened((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    EXPECT_EQ(opened, address + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "/pwned"));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pellquin::test
