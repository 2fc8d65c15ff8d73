#include <gtest/gtest.h>

#include "queryservice/service_config.h"

namespace pellquin {
namespace {

TEST(ServiceConfigLimits, ConnectionReplyAnswerAndLogLimitsAreReadAndBadValuesRefused) {
    ServiceConfig config;
    std::string error;
    ASSERT_TRUE(
        ParseServiceConfig("max_connections_per_client = 8\n"
                           "max_reply_bytes = 2097152\n"
                           "answer_timeout_ms = 1500\n"
                           "log_max_bytes = 65536\n",
                           &config, &error))
        << error;
    EXPECT_EQ(config.maxConnectionsPerClient, 8u);
    EXPECT_EQ(config.maxReplyBytes, 2097152u);
    EXPECT_EQ(config.answerTimeoutMs, 1500u);
    EXPECT_EQ(config.logMaxBytes, 65536u);

    // Values that would switch a limit off, or make it useless, are errors, not defaults.
    for (const char* line :
         {"max_connections_per_client = 0", "max_reply_bytes = 1000", "answer_timeout_ms = 0",
          "log_max_bytes = 100", "log_max_bytes = -1", "max_reply_bytes = 10MB"}) {
        ServiceConfig untouched;
        EXPECT_FALSE(ParseServiceConfig(line, &untouched, &error)) << line;
        EXPECT_NE(error.find("line 1: bad value"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace pellquin
