#include "platform/posix/smb_context.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

// Names reach the server as themselves: what a URL would read as a query, a fragment or an
// escape is percent-encoded; separators become '/', and trailing ones are dropped.
TEST(SmbUrlOf, EncodesWhatAUrlWouldReadOtherwise) {
    const struct {
        const char* unc;
        const char* url;
    } cases[] = {
        {"\\\\srv", "smb://srv"},
        {"\\\\srv\\", "smb://srv"},
        {"//srv/share/dir/", "smb://srv/share/dir"},
        {"\\\\srv\\share\\a b\\x.txt", "smb://srv/share/a b/x.txt"},
        {"\\\\srv\\share\\50%?#.txt", "smb://srv/share/50%25%3F%23.txt"},
        {"\\\\srv\\share\\[a]{b}\"<>|^`", "smb://srv/share/%5Ba%5D%7Bb%7D%22%3C%3E%7C%5E%60"},
        {"\\\\srv\\share\\-_.~!$&'()*+,;=:@", "smb://srv/share/-_.~!$&'()*+,;=:@"},
        {"\\\\srv\\share\\\xC3\xBC\x01", "smb://srv/share/\xC3\xBC%01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unc);
        EXPECT_EQ(SmbUrlOf(c.unc), c.url);
    }
}

TEST(IsUncPathText, TwoLeadingSeparatorsOfEitherKind) {
    EXPECT_TRUE(IsUncPathText("\\\\srv"));
    EXPECT_TRUE(IsUncPathText("//srv/share"));
    EXPECT_FALSE(IsUncPathText("\\/srv"));
    EXPECT_FALSE(IsUncPathText("/srv"));
    EXPECT_FALSE(IsUncPathText("\\"));
    EXPECT_FALSE(IsUncPathText(""));
}

}  // namespace
}  // namespace pellquin
