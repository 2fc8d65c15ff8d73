#include "query/result_format.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

TEST(ResultFormat, PermissionLetters) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, ""}, {1, "R"}, {2, "W"}, {3, "RW"}, {4, "C"}, {7, "RWC"}, {8, ""}, {0xFFFFFFFD, "RC"}};
    for (const auto& [bits, letters] : cases) {
        EXPECT_EQ(PermissionLetters(bits), letters) << bits;
    }
}

TEST(ResultFormat, IdsShowSignedAndReadBackIntoTheSame32Bits) {
    EXPECT_EQ(IdText(5), "5");
    EXPECT_EQ(IdText(2147483648u), "-2147483648");
    EXPECT_EQ(IdText(0xFFFFFFFFu), "-1");
    for (uint32_t id : {0u, 9u, 2147483647u, 2147483648u, 4294967295u}) {
        EXPECT_EQ(ParseIdText(IdText(id)), id);
    }
}

TEST(ResultFormat, ParseIdTextReadsLikeAPlainDecimalConversion) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"42", 42}, {"  42", 42}, {"+42", 42}, {"42abc", 42}, {"abc", 0}, {"", 0}, {"-", 0}};
    for (const auto& [text, id] : cases) {
        EXPECT_EQ(ParseIdText(text), id) << text;
    }
}

TEST(ResultFormat, ClientRelativeNames) {
    struct Case {
        const char* pathName;
        const char* serverPath;
        const char* clientPath;
        const char* shown;
    };
    const Case cases[] = {
        {"D:\\Data\\reports\\q1.xls", "D:\\Data\\reports", "F:\\reports", "F:\\reports\\q1.xls"},
        {"D:\\Data\\q2.xls", "D:\\Data\\", "\\\\srv\\data", "\\\\srv\\data\\q2.xls"},
        {"d:\\data\\Q2.xls", "D:\\Data\\", "\\\\srv\\data\\", "\\\\srv\\data\\Q2.xls"},
        {"C:\\Data\\a", "", "F:\\", "C:\\Data\\a"},
        {"C:\\Data\\a", "C:\\Data\\a", "C:\\Data\\a", "C:\\Data\\a"},
        {"E:\\Other\\a", "D:\\Data\\", "\\\\srv\\data", "E:\\Other\\a"},
        // Written with slashes, the user's path stays in that style.
        {"C:\\srv\\data\\sub\\f.txt", "C:\\srv\\data\\", "//host/data", "//host/data/sub/f.txt"},
        {"C:\\srv\\data\\sub\\f.txt", "C:\\srv\\data\\sub", "/mnt/data/sub", "/mnt/data/sub/f.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClientRelativeName(c.pathName, c.serverPath, c.clientPath), c.shown)
            << c.pathName;
    }
}

TEST(ResultFormat, TheTypedPartOfTheClientPathTakesTheServersSpelling) {
    struct Case {
        const char* clientPath;
        const char* path;
        const char* serverPath;
        const char* spelled;
    };
    const Case cases[] = {
        {"\\\\srv\\loose\\REP", "REP", "C:\\srv\\x\\rep", "\\\\srv\\loose\\rep"},
        {"\\\\srv\\loose\\rep\\NOTES.TXT", "rep\\NOTES.TXT", "C:\\x\\rep\\notes.txt",
         "\\\\srv\\loose\\rep\\notes.txt"},
        // The share and server names are never respelled, even when they match a folder.
        {"\\\\SRV\\DATA", "", "C:\\srv\\data", "\\\\SRV\\DATA"},
        {"\\\\srv\\DATA\\X", "X", "C:\\srv\\data\\x", "\\\\srv\\DATA\\x"},
        // Mounts and trailing separators, in either style.
        {"/mnt/data/Sub/", "Sub", "C:\\srv\\data\\sub\\", "/mnt/data/sub/"},
        // A component that differs by more than case ends the respelling there.
        {"\\\\srv\\d\\A\\B", "A\\B", "C:\\d\\z\\b", "\\\\srv\\d\\A\\b"},
        {"\\\\srv\\d\\A\\B", "A\\B", "C:\\d\\a\\bb", "\\\\srv\\d\\A\\B"},
        {"\\\\srv\\d\\A", "A", "", "\\\\srv\\d\\A"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClientPathAsServerSpells(c.clientPath, c.path, c.serverPath), c.spelled)
            << c.clientPath;
    }
}

}  // namespace
}  // namespace pellquin
