// Reading a whole file with a size limit, where POSIX files can be what no settings file
// should be: FIFOs, devices, symbolic links.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "answer_in_child.h"
#include "platform/bounded_file.h"

namespace pellquin {
namespace {

using Status = BoundedFileRead::Status;

// The status of reading `path` where a read that blocks fails the test instead of hanging
// it; -1 when the read did not end in time.
int StatusInChild(const std::string& path, size_t limit, FileLinks links) {
    const std::string answer = test::AnswerInChild([&] {
        return std::to_string(static_cast<int>(ReadBoundedFile(path, limit, links).status));
    });
    return answer == "(no answer)" ? -1 : std::stoi(answer);
}

class BoundedFilePosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pellquin-bounded-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    std::string m_dir;
};

TEST_F(BoundedFilePosixTest, RefusesFifosAndDevicesWithoutWaiting) {
    const std::string fifo = m_dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
        for (const FileLinks links : {FileLinks::Follow, FileLinks::Refuse}) {
            EXPECT_EQ(StatusInChild(path, 1000, links), static_cast<int>(Status::Refused)) << path;
        }
    }
    const BoundedFileRead read = ReadBoundedFile("/dev/zero", 1000, FileLinks::Follow);
    EXPECT_EQ(read.problem, "it is not a regular file");
    EXPECT_TRUE(read.text.empty());
}

TEST_F(BoundedFilePosixTest, RefusesAHugeFileWithoutReadingIt) {
    // Sparse: a gigabyte that costs no disk, and would cost a gigabyte of memory to read.
    const std::string path = m_dir + "/huge";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{1} << 30), 0);
    close(fd);
    const BoundedFileRead read = ReadBoundedFile(path, 65536, FileLinks::Follow);
    EXPECT_EQ(read.status, Status::Refused);
    EXPECT_EQ(read.problem, "it is larger than 65536 bytes");
}

TEST_F(BoundedFilePosixTest, FollowsOrRefusesLinksAsAskedAndReportsTheModeOfTheFileRead) {
    const std::string target = m_dir + "/target";
    std::ofstream(target) << "secret";
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const std::string link = m_dir + "/link";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);

    const BoundedFileRead followed = ReadBoundedFile(link, 100, FileLinks::Follow);
    EXPECT_EQ(followed.status, Status::Read);
    EXPECT_EQ(followed.text, "secret");
    EXPECT_EQ(followed.mode, 0640u);

    const BoundedFileRead refused = ReadBoundedFile(link, 100, FileLinks::Refuse);
    EXPECT_EQ(refused.status, Status::Refused);
    EXPECT_EQ(refused.problem, "it is a symbolic link");
    EXPECT_TRUE(refused.text.empty());

    // A link to a FIFO is refused for what it leads to, without waiting.
    const std::string fifo = m_dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink(fifo.c_str(), (m_dir + "/fifolink").c_str()), 0);
    EXPECT_EQ(StatusInChild(m_dir + "/fifolink", 100, FileLinks::Follow),
              static_cast<int>(Status::Refused));
}

TEST_F(BoundedFilePosixTest, ReportsWhatTheSystemRefused) {
    const std::string path = m_dir + "/file";
    std::ofstream(path) << "x";
    // Not a directory on the way: an error, not a missing file.
    const BoundedFileRead read = ReadBoundedFile(path + "/below", 100, FileLinks::Follow);
    EXPECT_EQ(read.status, Status::Failed);
    EXPECT_EQ(read.problem, "Not a directory");
}

}  // namespace
}  // namespace pellquin
