// The Linux adapters of the browser: a temporary directory read through the file system, a
// share of a private Samba server read by its UNC path (127.0.0.130; needs root), and "Map
// Drive" against a stand-in gio and without one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "answer_in_child.h"
#include "platform/directory_lister.h"
#include "platform/drive_mapper.h"
#include "platform/drive_source.h"
#include "samba_sandbox.h"

namespace pellquin {
namespace {

std::map<std::string, DirectoryEntry> ListAll(DirectoryLister& lister, const std::string& path) {
    std::map<std::string, DirectoryEntry> entries;
    lister.List(path, [&entries](const DirectoryEntry& entry) { entries[entry.name] = entry; });
    return entries;
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/pellquin-lister-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

TEST(DirectoryListerPosix, ListsEntriesWithSizesAndLocalTimes) {
    TempDir dir;
    std::ofstream(dir.path() + "/f.txt") << std::string(5000, 'x');
    mkdir((dir.path() + "/sub").c_str(), 0755);
    ASSERT_EQ(symlink("sub", (dir.path() + "/link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (dir.path() + "/dangling").c_str()), 0);
    struct tm when {};
    when.tm_year = 2004 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 17;
    when.tm_hour = 15;
    when.tm_min = 5;
    when.tm_isdst = -1;
    const struct timespec times[2] = {{mktime(&when), 0}, {mktime(&when), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir.path() + "/f.txt").c_str(), times, 0), 0);

    auto lister = MakeDirectoryLister(std::string());
    EXPECT_TRUE(lister->IsDirectory(dir.path()));
    EXPECT_FALSE(lister->IsDirectory(dir.path() + "/f.txt"));
    EXPECT_FALSE(lister->IsDirectory(dir.path() + "/missing"));

    const auto entries = ListAll(*lister, dir.path());
    ASSERT_EQ(entries.size(), 6u);  // ".", "..", f.txt, sub, link, dangling
    EXPECT_TRUE(entries.at(".").directory);
    EXPECT_TRUE(entries.at("..").directory);
    const DirectoryEntry& file = entries.at("f.txt");
    EXPECT_FALSE(file.directory);
    EXPECT_EQ(file.size, 5000u);
    EXPECT_EQ(file.lastWrite.year, 2004);
    EXPECT_EQ(file.lastWrite.month, 3);
    EXPECT_EQ(file.lastWrite.day, 17);
    EXPECT_EQ(file.lastWrite.hour, 15);
    EXPECT_EQ(file.lastWrite.minute, 5);
    EXPECT_TRUE(entries.at("sub").directory);
    EXPECT_EQ(entries.at("sub").size, 0u);
    EXPECT_TRUE(entries.at("link").directory);
    EXPECT_FALSE(entries.at("dangling").directory);
    // A creation time, where the file system keeps one, is not before the file was made.
    if (file.creation.year != 0) {
        EXPECT_GE(file.creation.year, 2024);
    }
    EXPECT_TRUE(ListAll(*lister, dir.path() + "/missing").empty());
}

// A folder whose entries cannot be looked at (readable, not enterable): the directory
// entries' own types, "." and ".." as folders; and the entries in name order, as a Windows
// search returns them, not in the file system's order.
TEST(DirectoryListerPosix, UsesEntryTypesWhereEntriesCannotBeStatedAndListsInNameOrder) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const std::string locked = dir.path() + "/locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    for (const char* name : {"zeta", "Beta", "alpha", "delta", "Gamma"}) {
        ASSERT_EQ(mkdir((locked + "/" + name).c_str(), 0755), 0);
    }
    std::ofstream(locked + "/file.txt") << "x";
    ASSERT_EQ(chmod(locked.c_str(), 0744), 0);

    const std::string answer = test::AnswerInChild([&locked] {
        // Root may look at everything; the folder is unreadable to others only.
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            return std::string("(cannot drop root)");
        }
        auto lister = MakeDirectoryLister(std::string());
        std::string seen;
        lister->List(locked, [&seen](const DirectoryEntry& entry) {
            seen += entry.name + (entry.directory ? "/ " : " ");
        });
        return seen;
    });
    EXPECT_EQ(answer, "./ ../ Beta/ Gamma/ alpha/ delta/ file.txt zeta/ ");
}

TEST(DirectoryListerPosix, ListsAShareOfTheSambaServerByItsUncPath) {
    std::string reason;
    if (!test::SambaSandbox::CanRun(&reason)) {
        GTEST_SKIP() << "private Samba server: " << reason;
    }
    test::SambaSandbox sandbox("127.0.0.130");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    std::ofstream(sandbox.shareDir() + "/reports/big.bin") << std::string(3000, 'b');

    auto lister = MakeDirectoryLister(sandbox.userCredentials());
    const std::string root = sandbox.uncRoot();
    EXPECT_TRUE(lister->IsDirectory(root));
    EXPECT_TRUE(lister->IsDirectory(root + "\\reports"));
    EXPECT_FALSE(lister->IsDirectory(root + "\\missing"));
    EXPECT_FALSE(lister->IsDirectory(root + "\\readme.txt"));

    const auto top = ListAll(*lister, root);
    ASSERT_TRUE(top.count("readme.txt"));
    EXPECT_FALSE(top.at("readme.txt").directory);
    ASSERT_TRUE(top.count("reports"));
    EXPECT_TRUE(top.at("reports").directory);
    EXPECT_TRUE(top.count("Projekte Übersicht"));

    const auto reports = ListAll(*lister, root + "\\reports");
    ASSERT_TRUE(reports.count("big.bin"));
    EXPECT_EQ(reports.at("big.bin").size, 3000u);
    EXPECT_NE(reports.at("big.bin").lastWrite.year, 0);
    EXPECT_TRUE(reports.count("q1.xls"));
    EXPECT_TRUE(reports.at("archive").directory);
    // The same folder in the slash form Linux users type.
    const auto slashed = ListAll(*lister, "//" + sandbox.ip() + "/data/reports");
    EXPECT_EQ(slashed.size(), reports.size());
    EXPECT_TRUE(ListAll(*lister, root + "\\missing").empty());
}

TEST(DriveSourcePosix, TheRootIsAlwaysAFixedDrive) {
    const auto drives = MakeDriveSource()->Drives();
    const auto root = std::find_if(drives.begin(), drives.end(),
                                   [](const DriveInfo& drive) { return drive.root == "/"; });
    ASSERT_NE(root, drives.end());
    EXPECT_EQ(root->type, DriveType::Fixed);
    EXPECT_EQ(root->localName, "/");
}

TEST(DriveMapperPosix, SaysWhatIsMissingWithoutGio) {
    const char* saved = getenv("PATH");
    const std::string path = saved != nullptr ? saved : "";
    setenv("PATH", "/nonexistent", 1);
    auto mapper = MakeDriveMapper(std::string());
    const std::string missing = mapper->Missing();
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(mapper->ShowSystemDialog(0));
    EXPECT_NE(missing.find("gio"), std::string::npos) << missing;
    EXPECT_NE(missing.find("libglib2.0-bin"), std::string::npos) << missing;
    EXPECT_EQ(mapper->Map("not a share"), "Enter the share as \\\\server\\share");
}

// A stand-in for gio on PATH that notes its arguments and input and fails when told to.
class StandInGio : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = getenv("PATH") != nullptr ? getenv("PATH") : "";
        std::ofstream script(m_dir.path() + "/gio");
        script << "#!/bin/sh\n"
               << "echo \"$@\" > " << m_dir.path() << "/args\n"
               << "cat > " << m_dir.path() << "/input\n"
               << "if [ -e " << m_dir.path() << "/fail ]; then\n"
               << "  echo 'gio: smb://srv/data/: Failed to mount: access denied' >&2; exit 2\n"
               << "fi\n";
        script.close();
        chmod((m_dir.path() + "/gio").c_str(), 0755);
        setenv("PATH", (m_dir.path() + ":" + m_saved).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", m_saved.c_str(), 1); }
    std::string Read(const std::string& name) {
        std::ifstream in(m_dir.path() + "/" + name);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    TempDir m_dir;
    std::string m_saved;
};

TEST_F(StandInGio, MountsTheShareAsTheCredentialsFilesUserOrAnonymously) {
    const std::string credentials = m_dir.path() + "/credentials";
    std::ofstream(credentials) << "username = pqadmin\npassword = Se cret=1\ndomain = LAB\n";
    chmod(credentials.c_str(), 0600);
    EXPECT_EQ(MakeDriveMapper(credentials)->Map("\\\\srv\\data"), "");
    EXPECT_EQ(Read("args"), "mount smb://srv/data\n");
    EXPECT_EQ(Read("input"), "pqadmin\nLAB\nSe cret=1\n");

    EXPECT_EQ(MakeDriveMapper(m_dir.path() + "/none")->Map("//srv/data"), "");
    EXPECT_EQ(Read("args"), "mount --anonymous smb://srv/data\n");
    EXPECT_EQ(Read("input"), "");

    std::ofstream(m_dir.path() + "/fail") << "";
    EXPECT_EQ(MakeDriveMapper(credentials)->Map("\\\\srv\\data"),
              "gio: smb://srv/data/: Failed to mount: access denied");
}

// Without a named file gio gets the default file's user, with a Kerberos ticket about too:
// GVfs is given a user or --anonymous, and the ticket is no reason to mount anonymously.
TEST_F(StandInGio, MountsAsTheDefaultFilesUserAlsoWithATicket) {
    const char* savedXdg = getenv("XDG_CONFIG_HOME");
    const std::string savedXdgValue = savedXdg != nullptr ? savedXdg : "";
    const char* savedCache = getenv("KRB5CCNAME");
    const std::string savedCacheValue = savedCache != nullptr ? savedCache : "";
    std::filesystem::create_directory(m_dir.path() + "/pellquin");
    const std::string credentials = m_dir.path() + "/pellquin/credentials";
    std::ofstream(credentials) << "username = LAB\\pqadmin\npassword = pw\n";
    chmod(credentials.c_str(), 0600);
    setenv("XDG_CONFIG_HOME", m_dir.path().c_str(), 1);
    setenv("KRB5CCNAME", ("FILE:" + m_dir.path() + "/krb5cc").c_str(), 1);

    const std::string result = MakeDriveMapper(std::string())->Map("\\\\srv\\data");
    const std::string args = Read("args");
    const std::string input = Read("input");

    if (savedXdg != nullptr) {
        setenv("XDG_CONFIG_HOME", savedXdgValue.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    if (savedCache != nullptr) {
        setenv("KRB5CCNAME", savedCacheValue.c_str(), 1);
    } else {
        unsetenv("KRB5CCNAME");
    }
    EXPECT_EQ(result, "");
    EXPECT_EQ(args, "mount smb://srv/data\n");
    EXPECT_EQ(input, "pqadmin\nLAB\npw\n");
}

}  // namespace
}  // namespace pellquin
