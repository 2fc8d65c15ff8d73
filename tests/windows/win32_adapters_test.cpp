// The Win32 adapters against a real Windows API (Wine's): system texts and names, the system
// directory, the path probe on the prefix's drives, drive mapping and the network
// file-management calls of this machine, also as the engine drives them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/error_codes.h"
#include "platform/net_file_api.h"
#include "platform/path_probe.h"
#include "platform/system_directory.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "platform/wire_text.h"
#include "query/direct_query.h"
#include "query/path_resolution.h"
#include "query/system_error_text.h"

namespace pellquin {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Wine's NetFileEnum is a stub that answers ERROR_NOT_SUPPORTED; real servers list files.
constexpr uint32_t kNotSupported = 50;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A fresh directory under the user's temporary directory, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        do {
            m_dir = fs::temp_directory_path() / ("pellquin-w32-" + std::to_string(random()));
        } while (!fs::create_directory(m_dir));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    void WriteFile(const std::string& name) const { std::ofstream(m_dir / name) << "x"; }

    fs::path m_dir;
};

TEST(SystemInfoWin32Test, MessagesComeFromTheSystemAndAreTrimmedByTheEngine) {
    auto system = MakeSystemInfo();
    const std::string raw = system->ErrorMessage(kErrorAccessDenied);
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ(raw.back(), '\n') << "FormatMessageA's text ends its line";

    const std::string trimmed = SystemErrorText(*system, kErrorAccessDenied);
    EXPECT_FALSE(trimmed.empty());
    EXPECT_EQ(raw.compare(0, trimmed.size(), trimmed), 0) << raw;
    const char last = trimmed.back();
    EXPECT_TRUE(last != '.' && last != ' ' && last != '\r' && last != '\n') << trimmed;

    EXPECT_EQ(system->ErrorMessage(0x2345678), "") << "no message for an unknown code";
    EXPECT_EQ(SystemErrorText(*system, 0x2345678), "");
}

TEST(SystemInfoWin32Test, UserAndComputerNamesAreKnown) {
    auto system = MakeSystemInfo();
    EXPECT_FALSE(system->UserName().empty());
    EXPECT_FALSE(system->ComputerName().empty());
}

TEST(SystemDirectoryWin32Test, IsTheExistingSystem32Folder) {
    const std::string directory = SystemDirectory();
    ASSERT_GT(directory.size(), 3u);
    EXPECT_EQ(directory.substr(1, 2), ":\\") << directory;
    EXPECT_EQ(Lower(directory.substr(directory.size() - 9)), "\\system32") << directory;
    EXPECT_TRUE(MakePathProbe("")->IsDirectory(directory));
}

TEST_F(TempDirTest, PathProbeTellsFilesFromDirectoriesOnTheDrives) {
    auto probe = MakePathProbe("");
    WriteFile("report.txt");
    fs::create_directory(m_dir / "sub.txt");  // a directory that a pattern also matches

    struct Case {
        std::string path;
        bool isFile;
        bool isDirectory;
    };
    const std::vector<Case> cases = {
        {"C:\\", false, true},
        {m_dir.string(), false, true},
        {m_dir.string() + "\\", false, true},
        {Path("report.txt"), true, false},
        {Path("REPORT.TXT"), true, false},  // the file system ignores case
        {Path("*.txt"), true, false},       // a pattern passes when it matches a file
        {Path("sub*"), false, false},       // ... not when it matches directories only
        {Path("missing.txt"), false, false},
        {Path("missing\\x"), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(probe->IsFile(c.path), c.isFile);
        EXPECT_EQ(probe->IsDirectory(c.path), c.isDirectory);
    }
}

TEST(UniversalNamesWin32Test, PathsOnLocalDrivesAreNotConnected) {
    auto names = MakeUniversalNames();
    for (const std::string& path : Strings{"C:\\", "C:\\windows\\system32", SystemDirectory()}) {
        SCOPED_TRACE(path);
        std::string unc = "unchanged";
        EXPECT_EQ(names->GetUniversalName(path, &unc), kErrorNotConnected);
        EXPECT_EQ(unc, "unchanged");
    }
}

TEST(NetFilesWin32Test, StatusCodesPassThroughAndFailedRoundsAppendNothing) {
    std::string error;
    auto netFiles = MakeNetFileApi(NetCredentials{}, &error);
    ASSERT_NE(netFiles, nullptr) << error;

    std::vector<OpenFileEntry> entries;
    uint32_t resume = 0;
    EXPECT_EQ(netFiles->FileEnum(std::nullopt, "C:\\", &resume, &entries), kNotSupported);
    EXPECT_EQ(netFiles->FileEnum(std::string("127.0.0.1"), "", &resume, &entries), kNotSupported);
    EXPECT_TRUE(entries.empty());

    std::string folder = "unchanged";
    const uint32_t status = netFiles->ShareGetInfo("", "NoSuchShare", &folder);
    EXPECT_NE(status, 0u);
    EXPECT_EQ(folder, "unchanged");
}

// The engine's direct query with every real adapter: a local path is listed against this
// machine, and the listing's failure arrives as the system's code and text.
TEST(DirectQueryWin32Test, LocalPathReachesTheEnumerationAndReportsItsFailure) {
    std::string error;
    auto netFiles = MakeNetFileApi(NetCredentials{}, &error);
    ASSERT_NE(netFiles, nullptr) << error;
    auto names = MakeUniversalNames();
    auto system = MakeSystemInfo();

    TPellquinRequest request;
    request.Path = SystemDirectory();
    ResolvePath(request, *names, *system);
    ASSERT_EQ(request.ErrorCode, 0) << request.ErrorText;
    EXPECT_EQ(request.IsLocal, 1);
    EXPECT_EQ(request.Server, "");

    EXPECT_FALSE(QueryDirect(request, *netFiles, *system));
    EXPECT_EQ(request.ServerPath, SystemDirectory());
    EXPECT_EQ(request.ErrorCode, static_cast<int32_t>(kNotSupported));
    EXPECT_EQ(request.ErrorText, SystemErrorText(*system, kNotSupported));
    EXPECT_FALSE(request.ErrorText.empty());
    EXPECT_TRUE(request.Items.empty());
}

// The records are in the ANSI code page, which the program already holds: nothing changes,
// not even bytes the code page leaves undefined, and only that code page's own names are taken.
TEST(WireTextWin32Test, TheAnsiCodePageGoesAsItIs) {
    std::string error;
    const auto wire = MakeWireText("", &error);
    ASSERT_NE(wire, nullptr) << error;
    const std::string bytes = "caf\xE9 \x80\x81";
    EXPECT_EQ(wire->ToWire(bytes), bytes);
    EXPECT_EQ(wire->FromWire(bytes), bytes);
    EXPECT_EQ(wire->CharacterLength("ab", 2), 1u);
    const std::string number = std::to_string(GetACP());
    for (const std::string& name : {number, "cp" + number, "Windows-" + number}) {
        EXPECT_NE(MakeWireText(name, &error), nullptr) << name;
    }
    EXPECT_EQ(MakeWireText("no-such-code-page", &error), nullptr);
    EXPECT_NE(error.find("'no-such-code-page'"), std::string::npos) << error;
}

}  // namespace
}  // namespace pellquin
