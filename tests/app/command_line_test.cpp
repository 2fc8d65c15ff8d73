#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pellquin {
namespace {

TEST(AnswerInformationOptions, AnswersHelpAndVersionAndOtherwiseOpensTheWindow) {
    int helpLookups = 0;
    const auto helpFile = [&] {
        ++helpLookups;
        return std::string("/usr/share/pellquin/help/index.html");
    };
    std::ostringstream out;
    EXPECT_EQ(AnswerInformationOptions({"--version"}, helpFile, out), 0);
    EXPECT_EQ(out.str(), "pellquin " PELLQUIN_VERSION "\n");

    out.str("");
    EXPECT_EQ(AnswerInformationOptions({"-platform", "offscreen", "--help"}, helpFile, out), 0);
    EXPECT_NE(out.str().find("Help pages: /usr/share/pellquin/help/index.html\n"),
              std::string::npos);
    EXPECT_EQ(helpLookups, 1);

    // A path to check, or nothing: the window opens, and the help file is not looked for.
    out.str("");
    EXPECT_EQ(AnswerInformationOptions({"\\\\srv\\data"}, helpFile, out), std::nullopt);
    EXPECT_EQ(AnswerInformationOptions({}, helpFile, out), std::nullopt);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(helpLookups, 1);
}

}  // namespace
}  // namespace pellquin
