#include "update/core/version_text.h"

#include <gtest/gtest.h>

namespace pellquin::test {
namespace {

struct Case {
    const char* text;
    char separator;
    bool converts;
    double value;
};

TEST(ConvertVersionText, FollowsTheUsersDecimalSeparator) {
    const Case cases[] = {
        {"2.1", '.', true, 2.1},        {"2.10", '.', true, 2.1},
        {"2.11", '.', true, 2.11},      {" 2.20 ", '.', true, 2.2},
        {"\n  2.20\n", '.', true, 2.2}, {"3", '.', true, 3.0},
        {"+2.5", '.', true, 2.5},       {"-1.5", '.', true, -1.5},
        {".5", '.', true, 0.5},         {"2.", '.', true, 2.0},
        {"2.2e1", '.', true, 22.0},     {"2,20", ',', true, 2.2},
        {"2.20", ',', false, 0},  // a point where the user writes a comma
        {"2,20", '.', false, 0},        {"", '.', false, 0},
        {"   ", '.', false, 0},         {".", '.', false, 0},
        {"2.2.1", '.', false, 0},       {"2.2 beta", '.', false, 0},
        {"v2.2", '.', false, 0},        {"2e", '.', false, 0},
        {"1e999", '.', false, 0},       {"0x10", '.', false, 0},
    };
    for (const Case& c : cases) {
        double value = -99;
        EXPECT_EQ(ConvertVersionText(c.text, c.separator, &value), c.converts)
            << '"' << c.text << "\" with '" << c.separator << "'";
        if (c.converts) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        } else {
            EXPECT_EQ(value, -99) << c.text;
        }
    }
}

}  // namespace
}  // namespace pellquin::test
