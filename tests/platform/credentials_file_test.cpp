#include "platform/credentials_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "answer_in_child.h"

namespace pellquin {
namespace {

TEST(ParseCredentials, ReadsSmbclientAuthenticationFiles) {
    struct Case {
        const char* text;
        SmbCredentials expected;
    };
    const Case cases[] = {
        {"username = alice\npassword = s3cret\ndomain = CORP\n", {"alice", "s3cret", "CORP"}},
        {"username=bob\r\npassword=a = b  c\r\n", {"bob", "a = b  c", ""}},
        {"# comment\n; other\n\n  username =  carol  \nworkgroup = X\n", {"carol", "", ""}},
        {"username = CORP\\dave\npassword = p\n", {"dave", "p", "CORP"}},
        {"username = CORP/erin\ndomain = OTHER\n", {"erin", "", "OTHER"}},
        {"password = x\nusername = first\nusername = last\n", {"last", "x", ""}},
    };
    for (const auto& c : cases) {
        SmbCredentials parsed;
        std::string error;
        ASSERT_TRUE(ParseCredentials(c.text, &parsed, &error)) << c.text << ": " << error;
        EXPECT_EQ(parsed.user, c.expected.user) << c.text;
        EXPECT_EQ(parsed.password, c.expected.password) << c.text;
        EXPECT_EQ(parsed.domain, c.expected.domain) << c.text;
    }
}

TEST(ParseCredentials, RejectsMalformedFilesNamingTheLine) {
    SmbCredentials parsed{"keep", "keep", "keep"};
    std::string error;
    EXPECT_FALSE(ParseCredentials("username = a\n\njust a password\n", &parsed, &error));
    EXPECT_EQ(error, "line 3: expected \"name = value\"");
    EXPECT_FALSE(ParseCredentials("password = x\n", &parsed, &error));
    EXPECT_EQ(error, "no \"username = \" line");
    EXPECT_FALSE(ParseCredentials("username = CORP\\\n", &parsed, &error));
    EXPECT_EQ(parsed.user, "keep");
}

TEST(CredentialsModeProblem, RefusesAnyAccessByGroupOrOthers) {
    EXPECT_EQ(CredentialsModeProblem("/f", 0600), "");
    EXPECT_EQ(CredentialsModeProblem("/f", 0400), "");
    EXPECT_EQ(CredentialsModeProblem("/f", 0700), "");
    for (const uint32_t mode : {0640u, 0604u, 0620u, 0602u, 0610u, 0644u, 0666u}) {
        EXPECT_NE(CredentialsModeProblem("/f", mode), "") << std::oct << mode;
    }
    EXPECT_EQ(CredentialsModeProblem("/home/a/cred", 0644),
              "The credentials file /home/a/cred may be read by other users (mode 0644); allow "
              "its owner only: chmod 600 /home/a/cred");
}

TEST(DefaultCredentialsPath, PrefersXdgConfigHome) {
    EXPECT_EQ(DefaultCredentialsPath("/x/cfg", "/home/a"), "/x/cfg/pellquin/credentials");
    EXPECT_EQ(DefaultCredentialsPath("", "/home/a"), "/home/a/.config/pellquin/credentials");
    EXPECT_EQ(DefaultCredentialsPath(nullptr, "/home/a"), "/home/a/.config/pellquin/credentials");
    EXPECT_EQ(DefaultCredentialsPath(nullptr, nullptr), "");
}

class LoadCredentialsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pellquin-cred-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        unlink(File().c_str());
        rmdir(m_dir.c_str());
    }
    std::string File() const { return m_dir + "/credentials"; }
    void Write(const std::string& text, mode_t mode) {
        std::ofstream(File()) << text;
        ASSERT_EQ(chmod(File().c_str(), mode), 0);
    }

    std::string m_dir;
};

TEST_F(LoadCredentialsFileTest, LoadsAPrivateFile) {
    Write("username = alice\npassword = pw\n", 0600);
    SmbCredentials credentials;
    std::string error;
    EXPECT_EQ(LoadCredentialsFile(File(), &credentials, &error), CredentialsLoad::Loaded);
    EXPECT_EQ(credentials.user, "alice");
    EXPECT_EQ(credentials.password, "pw");
}

TEST_F(LoadCredentialsFileTest, RefusesAFileOthersCanRead) {
    Write("username = alice\npassword = pw\n", 0644);
    SmbCredentials credentials;
    std::string error;
    EXPECT_EQ(LoadCredentialsFile(File(), &credentials, &error), CredentialsLoad::Failed);
    EXPECT_NE(error.find("may be read by other users (mode 0644)"), std::string::npos) << error;
    EXPECT_EQ(credentials.password, "");
}

TEST_F(LoadCredentialsFileTest, TellsMissingFromMalformed) {
    SmbCredentials credentials;
    std::string error;
    EXPECT_EQ(LoadCredentialsFile(File(), &credentials, &error), CredentialsLoad::Missing);
    EXPECT_NE(error.find(File()), std::string::npos);
    Write("garbage\n", 0600);
    EXPECT_EQ(LoadCredentialsFile(File(), &credentials, &error), CredentialsLoad::Failed);
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
}

// LoadCredentialsFile where a file that blocks the reader fails the test instead of hanging
// it: "<load result> <error>".
std::string LoadInChild(const std::string& path) {
    return test::AnswerInChild([&] {
        SmbCredentials credentials;
        std::string error;
        const CredentialsLoad load = LoadCredentialsFile(path, &credentials, &error);
        return std::to_string(static_cast<int>(load)) + " " + error;
    });
}

TEST_F(LoadCredentialsFileTest, RefusesWhatIsNoCredentialsFileWithoutWaitingOrFillingMemory) {
    const std::string failed = std::to_string(static_cast<int>(CredentialsLoad::Failed)) + " ";
    ASSERT_EQ(mkfifo(File().c_str(), 0600), 0);
    EXPECT_EQ(LoadInChild(File()),
              failed + "Cannot read the credentials file " + File() + ": it is not a regular file");
    unlink(File().c_str());

    // A sparse gigabyte: refused before a byte of it is read.
    const int fd = open(File().c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{1} << 30), 0);
    close(fd);
    EXPECT_EQ(LoadInChild(File()), failed + "Cannot read the credentials file " + File() +
                                       ": it is larger than 65536 bytes");
}

TEST_F(LoadCredentialsFileTest, FollowsALinkAndJudgesTheFileItLeadsTo) {
    Write("username = alice\npassword = pw\n", 0600);
    const std::string link = m_dir + "/link";
    ASSERT_EQ(symlink(File().c_str(), link.c_str()), 0);
    SmbCredentials credentials;
    std::string error;
    EXPECT_EQ(LoadCredentialsFile(link, &credentials, &error), CredentialsLoad::Loaded) << error;
    EXPECT_EQ(credentials.password, "pw");

    ASSERT_EQ(chmod(File().c_str(), 0644), 0);
    EXPECT_EQ(LoadCredentialsFile(link, &credentials, &error), CredentialsLoad::Failed);
    EXPECT_NE(error.find("may be read by other users (mode 0644)"), std::string::npos) << error;
    unlink(link.c_str());
}

}  // namespace
}  // namespace pellquin
