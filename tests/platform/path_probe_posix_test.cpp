#include "platform/path_probe.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace pellquin {
namespace {

TEST(PathProbePosix, LocalFilesDirectoriesAndWildcards) {
    char pattern[] = "/tmp/pellquin-probe-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    std::ofstream(dir + "/a.txt") << "x";
    std::ofstream(dir + "/b[1].txt") << "x";
    std::filesystem::create_directory(dir + "/sub.d");
    auto probe = MakePathProbe(std::string());

    struct Case {
        std::string path;
        bool file;
        bool directory;
    };
    const Case cases[] = {
        {dir + "/a.txt", true, false},
        {dir + "/b[1].txt", true, false},  // taken literally before any wildcard matching
        {dir, false, true},
        {dir + "/", false, true},
        {"/", false, true},
        {dir + "/sub.d", false, true},
        {dir + "/*.txt", true, false},
        {dir + "/a.tx?", true, false},
        {dir + "/sub*", false, false},  // matches only a directory
        {dir + "/missing", false, false},
        {dir + "/missing*", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(probe->IsFile(c.path), c.file) << c.path;
        EXPECT_EQ(probe->IsDirectory(c.path), c.directory) << c.path;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pellquin
