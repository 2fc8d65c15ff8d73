// Reading a whole file with a size limit, on every system: what is read, and what is refused
// with which words.
#include "platform/bounded_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace pellquin {
namespace {

namespace fs = std::filesystem;
using Status = BoundedFileRead::Status;

class BoundedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("pellquin-bounded-" + std::to_string(std::random_device{}()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    std::string Write(const std::string& name, const std::string& text) const {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    fs::path m_dir;
};

TEST_F(BoundedFileTest, ReadsRegularFilesUpToTheLimitAndRefusesTheRest) {
    struct Case {
        const char* what;
        std::string text;
        size_t limit;
        Status status;
        const char* problem;
    };
    const std::string binary("a\0\r\n\xff", 5);
    const Case cases[] = {
        {"empty", "", 10, Status::Read, ""},
        {"bytes as they are", binary, 10, Status::Read, ""},
        {"exactly at the limit", std::string(20000, 'x'), 20000, Status::Read, ""},
        {"one byte beyond", std::string(20001, 'x'), 20000, Status::Refused,
         "it is larger than 20000 bytes"},
        {"a limit of nothing", "x", 0, Status::Refused, "it is larger than 0 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const FileLinks links : {FileLinks::Follow, FileLinks::Refuse}) {
            const BoundedFileRead read = ReadBoundedFile(Write("f", c.text), c.limit, links);
            EXPECT_EQ(read.status, c.status);
            EXPECT_EQ(read.problem, c.problem);
            EXPECT_TRUE(read.text == (c.status == Status::Read ? c.text : std::string()));
        }
    }
}

TEST_F(BoundedFileTest, TellsMissingFromNoRegularFile) {
    const BoundedFileRead missing =
        ReadBoundedFile((m_dir / "absent").string(), 100, FileLinks::Refuse);
    EXPECT_EQ(missing.status, Status::Missing);
    EXPECT_FALSE(missing.problem.empty());
    EXPECT_EQ(ReadBoundedFile((m_dir / "no" / "dir").string(), 100, FileLinks::Follow).status,
              Status::Missing);

    fs::create_directories(m_dir / "sub");
    const BoundedFileRead directory =
        ReadBoundedFile((m_dir / "sub").string(), 100, FileLinks::Follow);
    EXPECT_NE(directory.status, Status::Read);
    EXPECT_NE(directory.status, Status::Missing);
    EXPECT_TRUE(directory.text.empty());
}

}  // namespace
}  // namespace pellquin
