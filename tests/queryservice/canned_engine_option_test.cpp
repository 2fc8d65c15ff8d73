#include "canned_engine_option.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellquin::test {
namespace {

using Args = std::vector<std::string>;

TEST(CannedEngineOption, IsTakenOutAndTheServicesArgumentsStayInOrder) {
    Args args = {"--foreground", "--port",   "8022",      "--canned-engine",
                 "5:20",         "--listen", "127.0.0.61"};
    CannedEngineOption option;
    std::string error;
    ASSERT_TRUE(TakeCannedEngineOption(&args, &option, &error)) << error;
    EXPECT_TRUE(option.given);
    EXPECT_EQ(option.rows, 5u);
    EXPECT_EQ(option.delayMs, 20u);
    EXPECT_EQ(args, (Args{"--foreground", "--port", "8022", "--listen", "127.0.0.61"}));

    Args plain = {"--foreground"};
    CannedEngineOption none;
    ASSERT_TRUE(TakeCannedEngineOption(&plain, &none, &error)) << error;
    EXPECT_FALSE(none.given);
    EXPECT_EQ(plain, Args{"--foreground"});
}

TEST(CannedEngineOption, MissingAndBadValuesAreRefused) {
    const struct {
        Args args;
        const char* error;
    } cases[] = {
        {{"--canned-engine"}, "--canned-engine needs a value"},
        {{"--canned-engine", ""}, "--canned-engine needs a value"},
        {{"--canned-engine", "5:"}, "bad value for --canned-engine '5:'"},
        {{"--canned-engine", "x"}, "bad value for --canned-engine 'x'"},
        {{"--canned-engine", "1000001"}, "bad value for --canned-engine '1000001'"},
        {{"--canned-engine", "3:600001"}, "bad value for --canned-engine '3:600001'"},
    };
    for (const auto& c : cases) {
        Args args = c.args;
        CannedEngineOption option;
        std::string error;
        EXPECT_FALSE(TakeCannedEngineOption(&args, &option, &error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
}  // namespace pellquin::test
