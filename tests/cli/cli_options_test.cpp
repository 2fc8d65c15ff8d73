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
        {{}, "no command given: use check or close"},
        {{"list", "x"}, "unknown command 'list': use check or close"},
        {{"check"}, "check takes exactly one path"},
        {{"check", "a", "b"}, "check takes exactly one path"},
        {{"check", ""}, "the path is empty"},
        {{"close", "x"}, "close takes a path and at least one id"},
        {{"close", "x", "12a"}, "'12a' is not an open-file id"},
        {{"close", "x", "4294967296"}, "'4294967296' is not an open-file id"},
        {{"--mechanism", "fast", "check", "x"},
         "unknown mechanism 'fast': use direct, service or both"},
        {{"check", "x", "--mechanism"}, "--mechanism needs a value: direct, service or both"},
        {{"--credentials"}, "--credentials needs a file name"},
        {{"--verbose", "check", "x"}, "unknown option '--verbose'"},
    };
    for (const auto& [args, message] : cases) {
        CliOptions o;
        EXPECT_EQ(ParseCliOptions(args, &o), message);
    }
}

}  // namespace
}  // namespace pellquin
