// The Linux help viewer: the page goes to xdg-open, whichever that is on the PATH.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/html_help.h"

namespace pellquin {
namespace {

namespace fs = std::filesystem;

TEST(HtmlHelpPosixTest, ThePageOpensWithXdgOpenOnThePath) {
    char pattern[] = "/tmp/pellquin-help.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    const fs::path opened = root / "opened.txt";
    fs::create_directories(root / "bin");
    // A stand-in that notes the address it was given, in one step.
    std::ofstream(root / "bin/xdg-open")
        << "#!/bin/sh\nprintf '%s' \"$1\" >'" << opened.string() << ".tmp'\nmv '" << opened.string()
        << ".tmp' '" << opened.string() << "'\n";
    chmod((root / "bin/xdg-open").c_str(), 0755);

    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", ((root / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
    std::unique_ptr<HtmlHelp> viewer = MakeHtmlHelp();
    EXPECT_EQ(viewer->FileName(), "pellquin-help/index.html");
    ASSERT_TRUE(viewer->Load());
    viewer->Show("/opt/Pellquin Tools/pellquin-help/index.html", kHhDisplayToc, 0);
    setenv("PATH", path.c_str(), 1);

    for (int i = 0; i < 100 && !fs::exists(opened); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream in(opened);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "file:///opt/Pellquin%20Tools/pellquin-help/index.html");
    fs::remove_all(root);
}

TEST(HtmlHelpPosixTest, WithoutXdgOpenHelpDoesNotLoad) {
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    const bool loaded = MakeHtmlHelp()->Load();
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(loaded);
}

}  // namespace
}  // namespace pellquin
