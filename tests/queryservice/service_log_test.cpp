#include "queryservice/service_log.h"

#include <gtest/gtest.h>

#include <time.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "queryservice/log_text.h"

namespace pellquin {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::random_device random;
        for (;;) {
            const fs::path candidate =
                fs::temp_directory_path() / ("pq-log-" + std::to_string(random()));
            if (fs::create_directory(candidate)) {
                m_path = candidate.string();
                fs::permissions(m_path, fs::perms::owner_all);
                return;
            }
        }
    }
    ~TempDir() { fs::remove_all(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

ServiceLogEntry Entry(const std::string& user) {
    ServiceLogEntry entry;
    entry.time = 1714572187;  // 2024-05-01 14:03:07 UTC
    entry.peer = "10.0.0.5";
    entry.user = user;
    entry.computer = "WS01";
    entry.kind = "query";
    entry.path = "\\\\srv\\data\\q1.xls";
    entry.outcome = "3 rows";
    return entry;
}

TEST(ServiceLogFormat, HostileUserNamesAreQuotedAndEveryControlIsShownEscaped) {
    static char utc[] = "TZ=UTC";
    putenv(utc);
    tzset();
    const std::string tail = "@\"WS01\" query \"\\\\srv\\data\\q1.xls\": 3 rows";
    const struct Case {
        const char* name;
        std::string user;
        std::string shown;
    } cases[] = {
        {"plain", "alice", "\"alice\""},
        {"a line break and a date", "mallory\r\n2024-05-01 00:00:00 forged",
         "\"mallory<0D><0A>2024-05-01 00:00:00 forged\""},
        {"non-ASCII letters pass", "J\xC3\xBCrgen \xE6\x9D\x8E", "\"J\xC3\xBCrgen \xE6\x9D\x8E\""},
        {"a forged second entry", "mallory\r\n2024-05-01 00:00:00 10.0.0.1 \"root\"",
         "\"mallory<0D><0A>2024-05-01 00:00:00 10.0.0.1 \"\"root\"\"\""},
        {"posing as the following fields", "bob\"@\"WS99\" close \"x",
         "\"bob\"\"@\"\"WS99\"\" close \"\"x\""},
        {"a trailing backslash cannot escape the quote", "bob\\", "\"bob\\\""},
        {"C0, tab and DEL", std::string("a\0b\tc\x1B[2Jd\x7F", 11), "\"a<00>b<09>c<1B>[2Jd<7F>\""},
        {"C1 as a raw byte (CSI)",
         "a\x9B"
         "31mb",
         "\"a<9B>31mb\""},
        {"C1 in UTF-8 (NEL, CSI)",
         "a\xC2\x85"
         "b\xC2\x9B",
         "\"a<U+0085>b<U+009B>\""},
        {"right-to-left override", "evil\xE2\x80\xAEtxt.exe", "\"evil<U+202E>txt.exe\""},
        {"bidi isolates and marks", "\xE2\x81\xA6x\xE2\x81\xA9\xE2\x80\x8F",
         "\"<U+2066>x<U+2069><U+200F>\""},
        {"line and paragraph separators",
         "a\xE2\x80\xA8"
         "b\xE2\x80\xA9",
         "\"a<U+2028>b<U+2029>\""},
        {"zero-width and byte-order marks",
         "a\xE2\x80\x8B"
         "b\xEF\xBB\xBF",
         "\"a<U+200B>b<U+FEFF>\""},
        {"soft hyphen and tag characters",
         "a\xC2\xAD"
         "b\xF3\xA0\x80\x81",
         "\"a<U+00AD>b<U+E0001>\""},
        {"a typed escape cannot pass for a real one", "a<0A>b", "\"a<<0A>b\""},
        {"overlong and surrogate forms", "\xC0\xAF\xED\xA0\x80", "\"<C0><AF><ED><A0><80>\""},
        {"cut multi-byte sequence at the end", "ab\xE2\x80", "\"ab<E2><80>\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ServiceLog::FormatLine(Entry(c.user)),
                  "2024-05-01 14:03:07 10.0.0.5 " + c.shown + tail)
            << c.name;
    }
}

TEST(ServiceLogFile, RotatesToOneOlderFileAndNeverExceedsItsLimit) {
    TempDir dir;
    constexpr uint64_t kLimit = 64 * 1024;
    ServiceLog log(dir.path(), kLimit);
    const std::string oldPath = (fs::path(dir.path()) / kServiceLogOldName).string();
    for (int i = 0; i < 3000; ++i) {
        ASSERT_TRUE(log.Note("line " + std::to_string(i) + " " + std::string(40, 'x')));
        ASSERT_LE(fs::file_size(log.FilePath()), kLimit);
    }
    ASSERT_TRUE(fs::exists(oldPath));
    EXPECT_LE(fs::file_size(oldPath), kLimit);
    EXPECT_NE(ReadFile(log.FilePath()).find("line 2999 "), std::string::npos);
    // Exactly two files: nothing else accumulates.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    // The older file holds the lines just before the current file's first.
    const std::string current = ReadFile(log.FilePath());
    const std::string older = ReadFile(oldPath);
    const int firstCurrent = std::stoi(current.substr(current.find("line ") + 5));
    EXPECT_NE(older.find("line " + std::to_string(firstCurrent - 1) + " "), std::string::npos);
}

TEST(ServiceLogFile, NeverWritesThroughALinkOrInAnUnsafeDirectory) {
    TempDir dir;
    ServiceLog log(dir.path());
    const std::string victim = (fs::path(dir.path()) / "victim").string();
    std::ofstream(victim) << "precious";

    fs::create_symlink(victim, log.FilePath());
    EXPECT_FALSE(log.Note("through the link"));
    EXPECT_EQ(ReadFile(victim), "precious");
    fs::remove(log.FilePath());

    fs::create_hard_link(victim, log.FilePath());
    EXPECT_FALSE(log.Note("through a second name"));
    EXPECT_EQ(ReadFile(victim), "precious");
    fs::remove(log.FilePath());

    EXPECT_TRUE(ServiceLog::DirectoryProblem(dir.path()).empty());
    fs::permissions(dir.path(), fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::add);
    EXPECT_NE(ServiceLog::DirectoryProblem(dir.path()), "");
    EXPECT_FALSE(log.Note("in a directory others may change"));
    EXPECT_FALSE(fs::exists(log.FilePath()));
}

TEST(ServiceLogFile, RefusalsAreOneShortLinePerIntervalWithTheCountOfThoseLeftOut) {
    TempDir dir;
    ServiceLog log(dir.path());
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) {
        log.Refused("10.0.0." + std::to_string(i % 7), "not allowed",
                    start + std::chrono::milliseconds(i % 900));
    }
    log.Refused("10.0.0.9", "service full", start + kRefusalLogInterval);
    const std::string text = ReadFile(log.FilePath());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_NE(text.find(" refused 10.0.0.0: not allowed\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" refused 10.0.0.9: service full (and 999 refusals not logged before)\n"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace pellquin
