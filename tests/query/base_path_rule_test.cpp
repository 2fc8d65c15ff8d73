#include "query/base_path_rule.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

struct MatchCase {
    const char* path;
    const char* basePath;
    bool matches;
};

TEST(PathIsAtOrBelow, FollowsWindowsBasePathRule) {
    const MatchCase cases[] = {
        // Whole components only.
        {"C:\\data\\rep\\x.txt", "C:\\data\\rep", true},
        {"C:\\data\\reports\\x", "C:\\data\\rep", false},
        {"C:\\data\\rep", "C:\\data\\rep", true},
        {"C:\\data\\re", "C:\\data\\rep", false},
        // A trailing backslash: everything below, not the folder's own name.
        {"C:\\data\\rep\\x", "C:\\data\\rep\\", true},
        {"C:\\data\\rep\\a\\b\\c", "C:\\data\\", true},
        {"C:\\data", "C:\\data\\", false},
        {"C:\\database\\x", "C:\\data\\", false},
        // Case folds for ASCII letters; other bytes compare as they are.
        {"c:\\DATA\\Rep\\X.TXT", "C:\\data\\rep", true},
        {"C:\\data\\\xC3\x9C\\x", "C:\\data\\\xC3\xBC", false},
        {"C:\\data\\\xC3\x9C\\x", "C:\\data\\\xC3\x9C", true},
        // An empty base path lists everything; a drive root everything on it.
        {"C:\\anything", "", true},
        {"", "", true},
        {"D:\\x", "C:\\", false},
        {"C:\\x", "C:\\", true},
        // '/' is no separator in the server's terms.
        {"C:\\data\\rep/x", "C:\\data\\rep", false},
        {"C:\\da", "C:\\data", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathIsAtOrBelow(c.path, c.basePath), c.matches)
            << "path " << c.path << " base " << c.basePath;
    }
}

TEST(PathIsAtOrBelow, ExactCaseKeepsFoldersThatDifferInCaseApart) {
    const MatchCase cases[] = {
        {"C:\\data\\Reports\\q1.xls", "C:\\data\\Reports", true},
        {"C:\\data\\reports\\q1.xls", "C:\\data\\Reports", false},
        {"C:\\DATA\\Reports\\q1.xls", "C:\\data\\", false},
        {"C:\\data\\Reports", "C:\\data\\Reports", true},
        {"C:\\data\\Reportsx", "C:\\data\\Reports", false},
        {"C:\\anything", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathIsAtOrBelow(c.path, c.basePath, true), c.matches)
            << "path " << c.path << " base " << c.basePath;
    }
}

}  // namespace
}  // namespace pellquin
