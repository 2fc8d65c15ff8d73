// The Linux files adapter of the service installation and the log viewer: local copies,
// copies and deletions over SMB against a private Samba server, and xdg-open.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/log_viewer.h"
#include "platform/posix/remote_path_posix.h"
#include "platform/posix/target_shell_posix.h"
#include "platform/service_files.h"
#include "samba_sandbox.h"

namespace pellquin {
namespace {

// Removes a test's temporary tree; what cannot be removed is left for the system's cleaning.
void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/pellquin-files-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { RemoveTree(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

TEST(ServiceFilesPosix, CopyMakesTheServiceDirectoryAndReplacesAnOldProgram) {
    TempDir temp;
    auto files = MakeServiceFiles(std::string());
    const std::string source = temp.path() + "/PellquinService";
    WriteText(source, "new program");
    const std::string destination = temp.path() + "/var/lib/pellquin/PellquinService";

    EXPECT_EQ(files->Copy(source, destination), 0u);
    EXPECT_EQ(ReadText(destination), "new program");
    struct stat info {};
    ASSERT_EQ(stat(destination.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);

    WriteText(source, "newer");
    EXPECT_EQ(files->Copy(source, destination), 0u);
    EXPECT_EQ(ReadText(destination), "newer");

    EXPECT_EQ(files->Copy(temp.path() + "/missing", destination), 2u);
    EXPECT_EQ(ReadText(destination), "newer");

    EXPECT_TRUE(files->IsFile(destination));
    EXPECT_FALSE(files->IsFile(temp.path()));
    files->Delete(destination);
    EXPECT_FALSE(files->IsFile(destination));
    files->Delete(destination);  // nothing there: nothing happens
}

TEST(ServiceFilesPosix, ProgramIsLookedForBesideTheRunningProgram) {
    auto files = MakeServiceFiles(std::string());
    const std::string directory = files->ProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '/');
    EXPECT_TRUE(files->IsFile(directory + "service_files_posix_test"));
    EXPECT_EQ(files->ServiceProgramName(), "PellquinService");
}

TEST(ServiceFilesPosix, SystemDirectoryFollowsTheOverride) {
    const char* old = std::getenv("PELLQUIN_SYSTEM_DIR");
    const std::string saved = old != nullptr ? old : "";
    setenv("PELLQUIN_SYSTEM_DIR", "/srv/pq", 1);
    EXPECT_EQ(MakeServiceFiles(std::string())->SystemDirectory(), "/srv/pq");
    if (old != nullptr) {
        setenv("PELLQUIN_SYSTEM_DIR", saved.c_str(), 1);
    } else {
        unsetenv("PELLQUIN_SYSTEM_DIR");
    }
}

// A stand-in xdg-open early on PATH that records what it was asked to open.
class FakeXdgOpen : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string script = m_temp.path() + "/xdg-open";
        WriteText(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + Record() + "'\ncp \"$1\" '" +
                              Record() + ".copy'\n");
        chmod(script.c_str(), 0755);
        const char* path = std::getenv("PATH");
        m_oldPath = path != nullptr ? path : "";
        setenv("PATH", (m_temp.path() + ":" + m_oldPath).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", m_oldPath.c_str(), 1); }
    std::string Record() const { return m_temp.path() + "/opened"; }
    // xdg-open runs detached; waits for its record.
    std::string Opened() {
        for (int i = 0; i < 100 && ReadText(Record() + ".copy").empty(); ++i) {
            usleep(50 * 1000);
        }
        return ReadText(Record());
    }

    TempDir m_temp;
    std::string m_oldPath;
};

TEST_F(FakeXdgOpen, LocalLogIsOpenedWhereItIs) {
    const std::string log = m_temp.path() + "/Pellquin.log";
    WriteText(log, "line\n");
    auto viewer = MakeLogViewer();
    EXPECT_EQ(viewer->Name(), "xdg-open");
    EXPECT_TRUE(viewer->Open(log));
    EXPECT_EQ(Opened(), log);
}

TEST(LogViewerPosix, MissingViewerIsAFailure) {
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    setenv("PATH", "/nonexistent", 1);
    EXPECT_FALSE(MakeLogViewer()->Open("/etc/hostname"));
    setenv("PATH", saved.c_str(), 1);
}

// Without a display, xdg-open would have nowhere to show the log: the program's own window
// shows it, also when xdg-open is installed; without a window the old behaviour stays.
TEST_F(FakeXdgOpen, WithoutADisplayTheLogGoesToTheProgramsWindow) {
    const std::string log = m_temp.path() + "/Pellquin.log";
    WriteText(log, "line\n");
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::vector<std::string> shown;
    auto viewer = MakeLogViewer([&](const std::string& path) {
        shown.push_back(ReadText(path));
        return true;
    });
    EXPECT_TRUE(viewer->Open(log));
    EXPECT_EQ(shown, std::vector<std::string>{"line\n"});
    EXPECT_TRUE(ReadText(Record()).empty());  // xdg-open was not started
    setenv("DISPLAY", ":99", 1);
    EXPECT_TRUE(viewer->Open(log));
    EXPECT_EQ(Opened(), log);
    EXPECT_EQ(shown.size(), 1u);
    if (display != nullptr) {
        setenv("DISPLAY", saved.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
}

// "MACHINE:/path" is a file over ssh; local paths, UNC paths and option-like names are not.
TEST(RemotePath, OnlyMachineColonAbsolutePathIsRemote) {
    const struct {
        const char* text;
        bool remote;
        const char* machine;
        const char* path;
    } cases[] = {
        {"root@host:/var/lib/pellquin/Pellquin.log", true, "root@host",
         "/var/lib/pellquin/Pellquin.log"},
        {"host:/x", true, "host", "/x"},
        {"/var/lib/pellquin/a:/b", false, "", ""},
        {"\\\\server\\Admin$\\System32\\Pellquin.log", false, "", ""},
        {"-oProxyCommand=evil:/x", false, "", ""},
        {":/x", false, "", ""},
        {"host:relative", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RemotePath remote;
        ASSERT_EQ(SplitRemotePath(c.text, &remote), c.remote);
        if (c.remote) {
            EXPECT_EQ(remote.machine, c.machine);
            EXPECT_EQ(remote.path, c.path);
        }
    }
}

// What ssh or a remote command writes to standard error reaches the message log only as one
// line of printable text, the last lines kept.
TEST(TargetShell, ErrorTextIsOneSafeBoundedLine) {
    const struct {
        std::string raw;
        std::string shown;
    } cases[] = {
        {"ssh: connect to host h port 22: Connection refused\r\n",
         "ssh: connect to host h port 22: Connection refused"},
        {"Warning: x\nroot@h: Permission denied (publickey).\n",
         "Warning: x; root@h: Permission denied (publickey)."},
        {"\x1b]0;title\a"
         "bad\n",
         " ]0;title bad"},
        {"\n\n", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeErrorText(c.raw), c.shown);
    }
    const std::string flood = SafeErrorText(std::string(5000, 'x') + "\nlast line\n");
    EXPECT_LE(flood.size(), 310u);
    EXPECT_NE(flood.find("last line"), std::string::npos);
}

// A script gets its input, and its output and failure come back; a command that hangs is cut
// off at its limit.
TEST(TargetShell, RunsScriptsWithInputAndALimit) {
    const TargetShell shell{std::string()};
    const ShellResult echoed = shell.Run("cat; echo done >&2; exit 3", std::string(300000, 'y'));
    EXPECT_EQ(echoed.exitCode, 3);
    EXPECT_EQ(echoed.output, std::string(300000, 'y'));
    EXPECT_EQ(echoed.errorText, "done");
    EXPECT_EQ(Win32ErrorOfShell(echoed, false), 1003u);
    EXPECT_EQ(shell.Run("exit 5").exitCode, 5);
    EXPECT_EQ(shell.Run("printf %s " + ShellQuoted("it's $HOME `x`")).output, "it's $HOME `x`");
    const ShellResult early = shell.Run("exit 0", std::string(1 << 20, 'z'));  // never reads
    EXPECT_EQ(early.exitCode, 0);
    const ShellResult hung = shell.Run("sleep 30", std::string(), 300);
    EXPECT_EQ(hung.exitCode, -1);
    EXPECT_EQ(Win32ErrorOfShell(hung, false), 1722u);
}

class ServiceFilesSamba : public FakeXdgOpen {
protected:
    void SetUp() override {
        std::string reason;
        if (!test::SambaSandbox::CanRun(&reason)) {
            GTEST_SKIP() << "private Samba server: " << reason;
        }
        FakeXdgOpen::SetUp();
    }
    // Each test has its own address, so that they can run at the same time.
    void Start(const std::string& ip) {
        m_sandbox = std::make_unique<test::SambaSandbox>(ip);
        ASSERT_TRUE(m_sandbox->ok()) << m_sandbox->error();
    }
    std::unique_ptr<test::SambaSandbox> m_sandbox;
};

TEST_F(ServiceFilesSamba, CopiesChecksAndDeletesOverSmb) {
    Start("127.0.0.171");
    ASSERT_FALSE(HasFatalFailure());
    auto files = MakeServiceFiles(m_sandbox->adminCredentials());
    const std::string source = m_temp.path() + "/PellquinService";
    WriteText(source, std::string(200000, 'x'));
    const std::string destination = m_sandbox->uncRoot() + "\\PellquinService";

    EXPECT_EQ(files->Copy(source, destination), 0u);
    EXPECT_EQ(ReadText(m_sandbox->shareDir() + "/PellquinService"), std::string(200000, 'x'));
    WriteText(source, "shorter");
    EXPECT_EQ(files->Copy(source, destination), 0u);
    EXPECT_EQ(ReadText(m_sandbox->shareDir() + "/PellquinService"), "shorter");

    EXPECT_TRUE(files->IsFile(destination));
    EXPECT_FALSE(files->IsFile(m_sandbox->uncRoot() + "\\reports"));
    EXPECT_NE(files->Copy(source, m_sandbox->uncRoot() + "\\no-such-dir\\PellquinService"), 0u);
    files->Delete(destination);
    EXPECT_FALSE(files->IsFile(destination));
}

TEST_F(ServiceFilesSamba, RemoteLogIsOpenedFromALocalCopy) {
    Start("127.0.0.172");
    ASSERT_FALSE(HasFatalFailure());
    WriteText(m_sandbox->shareDir() + "/Pellquin.log", "remote log\n");
    chmod((m_sandbox->shareDir() + "/Pellquin.log").c_str(), 0644);
    // The viewer reads through the user's default credentials file.
    const std::string config = m_temp.path() + "/config";
    mkdir(config.c_str(), 0700);
    mkdir((config + "/pellquin").c_str(), 0700);
    WriteText(config + "/pellquin/credentials", ReadText(m_sandbox->adminCredentials()));
    chmod((config + "/pellquin/credentials").c_str(), 0600);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    auto viewer = MakeLogViewer();
    EXPECT_TRUE(viewer->Open(m_sandbox->uncRoot() + "\\Pellquin.log"));
    const std::string opened = Opened();
    EXPECT_EQ(opened.rfind("/Pellquin.log"), opened.size() - 13);
    EXPECT_EQ(opened.find("/tmp/"), 0u);
    EXPECT_EQ(ReadText(Record() + ".copy"), "remote log\n");
    RemoveTree(opened.substr(0, opened.rfind('/')));
    EXPECT_FALSE(viewer->Open(m_sandbox->uncRoot() + "\\missing.log"));
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace pellquin
