#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

TEST(CliOptions, AcceptedLines) {
    CliOptions o;
    ASSERT_EQ(ParseCliOptions({"check", "//srv/data/sub"}, &o), "");
    EXPECT_EQ(o.command, CliOptions::Command::Check);
    EXPECT_EQ(o.path, "//srv/data/sub");
    EXPECT_EQ(o.tryDirect, 1);
    EXPECT_EQ(o.tryService, 1);
    EXPECT_EQ(o.format, CliOptions::Format::Table);

    CliOptions c;
    ASSERT_EQ(ParseCliOptions({"--mechanism", "service", "--credentials", "/tmp/c", "--csv",
                               "close", "\\\\srv\\data", "5", "-2147483648", "4294967295"},
                              &c),
              "");
    EXPECT_EQ(c.command, CliOptions::Command::Close);
    EXPECT_EQ(c.tryDirect, 0);
    EXPECT_EQ(c.tryService, 1);
    EXPECT_EQ(c.credentialsFile, "/tmp/c");
    EXPECT_EQ(c.format, CliOptions::Format::Csv);
    EXPECT_EQ(c.ids, (std::vector<uint32_t>{5u, 2147483648u, 4294967295u}));

    CliOptions d;
    ASSERT_EQ(ParseCliOptions({"--mechanism", "direct", "--server-relative", "--json", "check",
                               "--", "--odd-name"},
                              &d),
              "");
    EXPECT_EQ(d.tryService, 0);
    EXPECT_TRUE(d.serverRelative);
    EXPECT_EQ(d.path, "--odd-name");
}

TEST(CliOptions, SelectionsWaitsAndWatches) {
    CliOptions check;
    ASSERT_EQ(ParseCliOptions({"check", "--user", "ann", "a", "--user", "CORP\\ben", "--match",
                               ".xls", "//b/e", "--watch", "0.25"},
                              &check),
              "");
    EXPECT_EQ(check.paths, (std::vector<std::string>{"a", "//b/e"}));
    EXPECT_EQ(check.path, "a");
    EXPECT_EQ(check.users, (std::vector<std::string>{"ann", "CORP\\ben"}));
    EXPECT_EQ(check.match, ".xls");
    EXPECT_EQ(check.watch, std::chrono::milliseconds(250));

    CliOptions close;
    ASSERT_EQ(ParseCliOptions({"close", "-y", "--all", "\\\\srv\\d"}, &close), "");
    EXPECT_TRUE(close.closeAll && close.yes && close.ClosesBySelection());
    EXPECT_TRUE(close.ids.empty());
    CliOptions byId;
    ASSERT_EQ(ParseCliOptions({"close", "p", "-5", "-"}, &byId), "'-' is not an open-file id");

    CliOptions wait;
    ASSERT_EQ(ParseCliOptions({"wait", "--timeout", "0", "p"}, &wait), "");
    EXPECT_EQ(wait.command, CliOptions::Command::Wait);
    EXPECT_EQ(wait.timeout, std::chrono::milliseconds(0));
    EXPECT_EQ(wait.interval, std::chrono::seconds(2));
    CliOptions forEver;
    ASSERT_EQ(ParseCliOptions({"wait", "--interval", "600", "p"}, &forEver), "");
    EXPECT_FALSE(forEver.timeout.has_value());
    EXPECT_EQ(forEver.interval, std::chrono::minutes(10));
}

// The name is kept as typed: the program checks it against this system's code pages.
TEST(CliOptions, CodePageIsTakenAsGivenAndOnlyWhenGiven) {
    CliOptions given;
    ASSERT_EQ(ParseCliOptions({"--codepage", "UTF-8", "check", "p"}, &given), "");
    EXPECT_EQ(given.codePage, std::optional<std::string>("UTF-8"));
    CliOptions absent;
    ASSERT_EQ(ParseCliOptions({"check", "p"}, &absent), "");
    EXPECT_FALSE(absent.codePage.has_value());
    for (const auto& line : std::vector<std::vector<std::string>>{
             {"check", "p", "--codepage"}, {"--codepage", "", "check", "p"}}) {
        CliOptions bad;
        EXPECT_EQ(ParseCliOptions(line, &bad),
                  "--codepage needs a code page name, such as Windows-1252 or UTF-8");
    }
}

// --version answers without a command, and also after other options, like --help.
TEST(CliOptions, VersionNeedsNoCommand) {
    for (const auto& line : std::vector<std::vector<std::string>>{
             {"--version"}, {"--json", "--version"}, {"--version", "check"}}) {
        CliOptions o;
        ASSERT_EQ(ParseCliOptions(line, &o), "");
        EXPECT_EQ(o.command, CliOptions::Command::Version);
    }
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "no command given: use check, close or wait"},
        {{"list", "x"}, "unknown command 'list': use check, close or wait"},
        {{"check"}, "check takes at least one path"},
        {{"check", ""}, "the path is empty"},
        {{"close", "x"}, "close takes a path and at least one id"},
        {{"close", "x", "12a"}, "'12a' is not an open-file id"},
        {{"close", "x", "4294967296"}, "'4294967296' is not an open-file id"},
        {{"--mechanism", "fast", "check", "x"},
         "unknown mechanism 'fast': use direct, service or both"},
        {{"check", "x", "--mechanism"}, "--mechanism needs a value: direct, service or both"},
        {{"--credentials"}, "--credentials needs a file name"},
        {{"--verbose", "check", "x"}, "unknown option '--verbose'"},
        {{"-x", "check", "p"}, "unknown option '-x'"},
        {{"check", "p", "-x"}, "unknown option '-x'"},
        {{"--json", "--csv", "check", "p"}, "--json and --csv cannot be used together"},
        {{"--csv", "check", "p", "--json"}, "--json and --csv cannot be used together"},
        {{"check", "a", ""}, "the path is empty"},
        {{"check", "--user"}, "--user needs a user name"},
        {{"check", "--user", "", "p"}, "--user needs a user name"},
        {{"check", "--match", "", "p"}, "--match needs a text"},
        {{"check", "--watch", "0", "p"}, "--watch needs more than 0 seconds"},
        {{"check", "--watch", "-1", "p"}, "--watch needs a number of seconds (at most 604800)"},
        {{"check", "--watch", "1s", "p"}, "--watch needs a number of seconds (at most 604800)"},
        {{"check", "--watch", "nan", "p"}, "--watch needs a number of seconds (at most 604800)"},
        {{"wait", "--timeout", "604801", "p"},
         "--timeout needs a number of seconds (at most 604800)"},
        {{"wait", "--interval", "0", "p"}, "--interval needs more than 0 seconds"},
        {{"wait", "p", "q"}, "wait takes exactly one path"},
        {{"wait"}, "wait takes exactly one path"},
        {{"close", "--user", "ann", "p", "5"},
         "close --user, --match or --all takes one path and no ids"},
        {{"close", "--all", "--user", "ann", "p"},
         "close --all closes every handle: leave out --user and --match"},
        {{"check", "--timeout", "5", "p"}, "--timeout is for wait"},
        {{"close", "--interval", "5", "p", "1"}, "--interval is for wait"},
        {{"wait", "--watch", "5", "p"}, "--watch is for check"},
        {{"check", "--all", "p"}, "--all is for close"},
        {{"wait", "--yes", "p"}, "--yes is for close"},
        {{"close", "p", "-x"}, "unknown option '-x'"},
    };
    for (const auto& [args, message] : cases) {
        CliOptions o;
        EXPECT_EQ(ParseCliOptions(args, &o), message);
    }
}

}  // namespace
}  // namespace pellquin
