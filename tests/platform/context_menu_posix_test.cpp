// The Linux file managers' entries, written into a temporary data and configuration
// directory and run as each file manager would run them.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/context_menu.h"
#include "platform/posix/context_menu_posix.h"
#include "platform/smb_url.h"

extern char** environ;

namespace pellquin {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Runs argv and waits; returns the exit status.
int RunProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs argv with `environment` added and waits; what it wrote to standard output, or
// nullopt when it did not exit with status 0.
std::optional<std::string> Capture(const std::vector<std::string>& argv,
                                   const std::vector<std::string>& environment = {}) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<std::string> envText = environment;
    for (char** e = environ; *e != nullptr; ++e) {
        envText.push_back(*e);
    }
    std::vector<char*> env;
    for (const std::string& e : envText) {
        env.push_back(const_cast<char*>(e.c_str()));
    }
    env.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
    if (spawned != 0) {
        return std::nullopt;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return out;
}

// The system's Python with GLib's bindings (python3-gi), which Nemo's and Caja's parsing
// runs through; empty when there is none.
std::string PythonWithGLib() {
    const std::string python = "/usr/bin/python3";
    return access(python.c_str(), X_OK) == 0 &&
                   RunProgram({python, "-c", "from gi.repository import GLib"}) == 0
               ? python
               : std::string();
}

// A file:// URL for an absolute path, as GIO writes one.
std::string FileUrl(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (char c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::string("/-._~!$&'()*+,;=:@").find(c) != std::string::npos) {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0xf];
        }
    }
    return url;
}

const std::string kTestDir = PELLQUIN_CONTEXT_MENU_TEST_DIR;

// A shell word for `text`, as Thunar quotes the selected path in place of %f.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The argument vector a desktop launcher makes of an Exec value for one chosen file: the
// string escapes of the value first, then the Exec quoting, then %f or %u as one argument.
std::vector<std::string> DesktopExecArgv(const std::string& value, const std::string& file) {
    std::string exec;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            exec += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            exec += value[i];
        }
    }
    std::vector<std::string> argv;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == '"') {
            inWord = true;
            for (++i; i < exec.size() && exec[i] != '"'; ++i) {
                if ((exec[i] == '\\' || exec[i] == '%') && i + 1 < exec.size()) {
                    ++i;  // an escaped character; %% is one %
                }
                word += exec[i];
            }
        } else if (c == ' ') {
            if (inWord) {
                argv.push_back(word);
            }
            word.clear();
            inWord = false;
        } else if (c == '%' && i + 1 < exec.size()) {
            const char code = exec[++i];
            // %u: KIO hands a local file as its path (a remote folder as its smb:// URL).
            if (code == 'f' || code == 'u') {
                argv.push_back(file);
                inWord = false;
                word.clear();
                continue;
            }
            word += code;  // %% is one %
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        argv.push_back(word);
    }
    return argv;
}

// The text between `open` and the next `close` after `from` in `text`.
std::string Between(const std::string& text, const std::string& open, const std::string& close,
                    size_t from = 0) {
    const size_t begin = text.find(open, from);
    if (begin == std::string::npos) {
        return std::string();
    }
    const size_t start = begin + open.size();
    return text.substr(start, text.find(close, start) - start);
}

std::string XmlUnescape(std::string text) {
    for (const auto& [entity, c] : {std::pair<std::string, std::string>{"&lt;", "<"},
                                    {"&gt;", ">"},
                                    {"&quot;", "\""},
                                    {"&apos;", "'"},
                                    {"&amp;", "&"}}) {
        for (size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + c.size())) {
            text.replace(at, entity.size(), c);
        }
    }
    return text;
}

// Every file and directory below `dir`, relative to it.
std::vector<std::string> Tree(const fs::path& dir) {
    std::vector<std::string> entries;
    if (fs::is_directory(dir)) {
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            entries.push_back(fs::relative(entry.path(), dir).string());
        }
    }
    return entries;
}

const char kOtherAction[] =
    "<action>\n"
    "\t<icon>utilities-terminal</icon>\n"
    "\t<name>Open Terminal Here</name>\n"
    "\t<unique-id>1700000000000000-1</unique-id>\n"
    "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
    "\t<patterns>*</patterns>\n"
    "\t<directories/>\n"
    "</action>\n";

class DesktopContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pellquin-menus.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_data = m_root / "data";
        m_config = m_root / "config";
        setenv("XDG_DATA_HOME", m_data.c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);

        // A stand-in for the program in a folder whose name needs quoting everywhere; it
        // writes the arguments it was started with, one per line.
        m_executable = m_root / "my tools" / "it's \"the\" $program 100%f" / "pellquin";
        m_output = m_root / "arguments.txt";
        WriteText(m_executable, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >'" +
                                    m_output.string() + "'\n");
        fs::permissions(m_executable, fs::perms::owner_all);
        m_item = m_root / "files" / "Q1 report 'final' \"v2\" $HOME & 100%.xls";
        WriteText(m_item, "data");
        // A system of its own, so that what is installed on this machine (nautilus-python)
        // does not change what the tests expect.
        m_system = m_root / "system";
        m_menu = MakeDesktopContextMenu(m_system.string());
    }

    void TearDown() override {
        chmod(m_data.c_str(), 0755);
        fs::remove_all(m_root);
    }

    fs::path KdeFile() const {
        return m_data / "kio/servicemenus/pellquin-check-with-pellquin.desktop";
    }
    fs::path NautilusFile() const { return m_data / "nautilus/scripts/Check With Pellquin"; }
    fs::path ThunarFile() const { return m_config / "Thunar/uca.xml"; }
    fs::path NemoFile() const { return m_data / "nemo/actions/pellquin.nemo_action"; }
    fs::path CajaFile() const {
        return m_data / "file-manager/actions/pellquin-check-with-pellquin.desktop";
    }
    fs::path ExtensionFile() const {
        return m_data / "nautilus-python/extensions/pellquin_menu.py";
    }

    // Makes the system look as if nautilus-python were installed (Debian's place for it), or
    // not.
    void SetNautilusPython(bool installed) {
        const fs::path library =
            m_system / "usr/lib/x86_64-linux-gnu/nautilus/extensions-4/libnautilus-python.so";
        if (installed) {
            WriteText(library, "");
        } else {
            fs::remove_all(m_system);
        }
    }

    // What the stand-in program received, one argument per line.
    std::string Received() {
        const std::string text = ReadText(m_output);
        fs::remove(m_output);
        return text;
    }

    fs::path m_root, m_data, m_config, m_system, m_executable, m_output, m_item;
    std::unique_ptr<ContextMenu> m_menu;
};

TEST_F(DesktopContextMenuTest, EachEntryStartsTheProgramWithTheChosenPathAsItsOneArgument) {
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    const std::string expected = m_item.string() + "\n";

    // Dolphin: the service menu's action.
    const std::string kde = ReadText(KdeFile());
    EXPECT_NE(kde.find("Name=Check With Pellquin\n"), std::string::npos);
    EXPECT_NE(kde.find("MimeType=all/all;"), std::string::npos);
    // A URL, not a downloaded copy, for smb:// folders; only where a check makes sense.
    EXPECT_NE(kde.find(" %u\n"), std::string::npos);
    EXPECT_NE(kde.find("X-KDE-Protocols=file,smb\n"), std::string::npos);
    EXPECT_EQ(RunProgram(DesktopExecArgv(Between(kde, "\nExec=", "\n"), m_item.string())), 0);
    EXPECT_EQ(Received(), expected);

    // Nautilus: the script, given the selected file's path, or its name in its folder.
    EXPECT_EQ(RunProgram({NautilusFile().string(), m_item.string()}), 0);
    EXPECT_EQ(Received(), expected);
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "cd \"$1\" && exec \"$2\" \"$3\"", "sh",
                          m_item.parent_path().string(), NautilusFile().string(),
                          m_item.filename().string()}),
              0);
    EXPECT_EQ(Received(), expected);

    // Thunar: the action's command with %f replaced by the quoted path, run by a shell.
    const std::string uca = ReadText(ThunarFile());
    EXPECT_EQ(Between(uca, "<name>", "</name>"), "Check With Pellquin");
    const std::string action = XmlUnescape(Between(uca, "<command>", "</command>"));
    std::string command;
    for (size_t i = 0; i < action.size(); ++i) {
        if (action[i] == '%' && i + 1 < action.size()) {
            ++i;
            command += action[i] == 'f' ? Quoted(m_item.string()) : std::string(1, action[i]);
        } else {
            command += action[i];
        }
    }
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", command}), 0);
    EXPECT_EQ(Received(), expected);

    // KDE and Nautilus run only executable entries.
    EXPECT_NE(fs::status(KdeFile()).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_NE(fs::status(NautilusFile()).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(DesktopContextMenuTest, InstallingAgainRewritesAndKeepsTheUsersOwnActions) {
    const std::string before = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" +
                               std::string(kOtherAction) + "</actions>\n";
    WriteText(ThunarFile(), before);

    ASSERT_TRUE(m_menu->Install("/old/place/pellquin"));
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    const std::string uca = ReadText(ThunarFile());
    EXPECT_NE(uca.find(kOtherAction), std::string::npos);
    EXPECT_EQ(uca.find("/old/place"), std::string::npos);
    EXPECT_EQ(uca.find("<name>Check With Pellquin</name>"),
              uca.rfind("<name>Check With Pellquin</name>"));
    EXPECT_EQ(ReadText(KdeFile()).find("/old/place"), std::string::npos);
    EXPECT_EQ(ReadText(NautilusFile()).find("/old/place"), std::string::npos);

    m_menu->Remove();
    EXPECT_EQ(ReadText(ThunarFile()), before);
    EXPECT_FALSE(fs::exists(KdeFile()));
    EXPECT_FALSE(fs::exists(NautilusFile()));
}

TEST_F(DesktopContextMenuTest, RemoveWhenNothingIsInstalledTouchesNothing) {
    // A script of the user's own under the same name is not ours to delete.
    WriteText(NautilusFile(), "#!/bin/sh\necho mine\n");
    WriteText(ThunarFile(), "<actions>\n" + std::string(kOtherAction) + "</actions>\n");
    const auto dataBefore = Tree(m_data);
    const auto configBefore = Tree(m_config);
    const auto ucaTime = fs::last_write_time(ThunarFile());

    m_menu->Remove();
    EXPECT_EQ(Tree(m_data), dataBefore);
    EXPECT_EQ(Tree(m_config), configBefore);
    EXPECT_EQ(ReadText(NautilusFile()), "#!/bin/sh\necho mine\n");
    EXPECT_EQ(fs::last_write_time(ThunarFile()), ucaTime);

    fs::remove_all(m_data);
    fs::remove_all(m_config);
    m_menu->Remove();
    EXPECT_FALSE(fs::exists(m_data));
    EXPECT_FALSE(fs::exists(m_config));
}

TEST_F(DesktopContextMenuTest, ADirectoryThatCannotBeWrittenFailsAndWritesNothing) {
    const struct {
        const char* name;
        bool (*block)(const fs::path& data, const fs::path& config);
    } cases[] = {
        {"data directory read-only",
         [](const fs::path& data, const fs::path&) {
             fs::create_directories(data);
             chmod(data.c_str(), 0555);
             return geteuid() != 0;  // root writes there all the same
         }},
        // The last entry fails, so the two written before it must be taken back.
        {"a file where the configuration directory belongs",
         [](const fs::path&, const fs::path& config) {
             WriteText(config, "not a directory");
             return true;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_data);
        fs::remove_all(m_config);
        if (!c.block(m_data, m_config)) {
            continue;
        }
        EXPECT_FALSE(m_menu->Install(m_executable.string()));
        EXPECT_TRUE(Tree(m_data).empty());
        EXPECT_TRUE(Tree(m_config).empty());
        chmod(m_data.c_str(), 0755);
    }
}

// Thunar reads the system's default actions only while the user has no uca.xml: the file
// Install makes starts from them, and Remove gives the user back no file at all.
TEST_F(DesktopContextMenuTest, ThunarStartsFromTheSystemsActionsAndRemoveRestoresWhatWasThere) {
    const fs::path systemDirs = m_root / "xdg";
    setenv("XDG_CONFIG_DIRS",
           ("relative:" + (m_root / "empty").string() + ":" + systemDirs.string()).c_str(), 1);
    const std::string systemText = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" +
                                   std::string(kOtherAction) + "</actions>\n";
    const struct {
        const char* what;
        bool systemFile;
    } cases[] = {{"with a system uca.xml", true}, {"without one", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(systemDirs);
        if (c.systemFile) {
            WriteText(systemDirs / "Thunar/uca.xml", systemText);
        }
        ASSERT_FALSE(fs::exists(ThunarFile()));
        ASSERT_TRUE(m_menu->Install(m_executable.string()));
        EXPECT_EQ(m_menu->Warning(), "");
        const std::string uca = ReadText(ThunarFile());
        EXPECT_NE(uca.find("<name>Check With Pellquin</name>"), std::string::npos);
        EXPECT_EQ(uca.find(kOtherAction) != std::string::npos, c.systemFile);
        m_menu->Remove();
        EXPECT_FALSE(fs::exists(ThunarFile()));
        EXPECT_FALSE(fs::exists(KdeFile()));
    }
    // A file the user made stays theirs after Remove, even when it now matches the system's.
    WriteText(ThunarFile(), "<actions>\n" + std::string(kOtherAction) + "</actions>\n");
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    m_menu->Remove();
    EXPECT_EQ(ReadText(ThunarFile()), "<actions>\n" + std::string(kOtherAction) + "</actions>\n");
    unsetenv("XDG_CONFIG_DIRS");
}

TEST_F(DesktopContextMenuTest, AUcaXmlThatIsASymbolicLinkIsWrittenThrough) {
    const fs::path kept = m_root / "dotfiles" / "uca.xml";
    const std::string before = "<actions>\n" + std::string(kOtherAction) + "</actions>\n";
    WriteText(kept, before);
    fs::create_directories(ThunarFile().parent_path());
    fs::create_symlink("../../dotfiles/uca.xml", ThunarFile());

    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    EXPECT_TRUE(fs::is_symlink(ThunarFile()));
    EXPECT_NE(ReadText(kept).find("<name>Check With Pellquin</name>"), std::string::npos);
    m_menu->Remove();
    EXPECT_TRUE(fs::is_symlink(ThunarFile()));
    EXPECT_EQ(ReadText(kept), before);
}

TEST_F(DesktopContextMenuTest, AMalformedUcaXmlIsLeftAloneAndNamedWhileTheOthersAreInstalled) {
    const std::string broken = "<not-actions>\n";
    WriteText(ThunarFile(), broken);
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    EXPECT_EQ(ReadText(ThunarFile()), broken);
    EXPECT_TRUE(fs::exists(KdeFile()));
    EXPECT_TRUE(fs::exists(NautilusFile()));
    const std::string warning = m_menu->Warning();
    EXPECT_NE(warning.find(ThunarFile().string()), std::string::npos) << warning;
    EXPECT_NE(warning.find("malformed"), std::string::npos) << warning;

    // Mended, the next Install has nothing to warn about.
    fs::remove(ThunarFile());
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    EXPECT_EQ(m_menu->Warning(), "");
}

// Nemo and Caja read their entries with GLib's key-file parser, expand their tokens and split
// the command with GLib's shell parser; the launcher does the same through GLib itself.
TEST_F(DesktopContextMenuTest, NemoAndCajaStartTheProgramWithTheChosenItemAsItsOneArgument) {
    const std::string python = PythonWithGLib();
    if (python.empty()) {
        GTEST_SKIP() << "no /usr/bin/python3 with GLib's bindings (Debian package python3-gi)";
    }
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    for (const fs::path& file : {NemoFile(), CajaFile()}) {
        EXPECT_NE(ReadText(file).find("Name=Check With Pellquin\n"), std::string::npos) << file;
    }
    const fs::path odd = m_root / "files" / "back\\slash `tick` #1 \"q\\\" 'a\\'b'";
    WriteText(odd, "data");
    const std::string smb = "smb://server/share/Q1%20report%20'final'%20100%25.xls";
    const std::string unc = "\\\\server\\share\\Q1 report 'final' 100%.xls";
    const struct {
        const char* kind;
        fs::path entry;
        std::string item;
        std::string received;  // the program's one argument
        std::string checked;   // what the program checks for it
    } cases[] = {
        // Nemo hands URLs: a local item's file:// URL as GIO escapes it, and an item on a
        // share that GVfs has not mounted (no path, so the launcher's %F would be empty) as
        // its smb:// URL.
        {"nemo", NemoFile(), m_item.string(), FileUrl(m_item.string()), m_item.string()},
        {"nemo", NemoFile(), odd.string(), FileUrl(odd.string()), odd.string()},
        {"nemo", NemoFile(), smb, smb, unc},
        {"caja", CajaFile(), m_item.string(), m_item.string(), m_item.string()},
        {"caja", CajaFile(), odd.string(), odd.string(), odd.string()},
        // The smb profile: the URL as it is, which the program reads as a UNC name.
        {"caja", CajaFile(), smb, smb, unc},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.item);
        EXPECT_EQ(RunProgram({python, kTestDir + "/glib_action_launcher.py", c.kind,
                              c.entry.string(), c.item}),
                  0);
        const std::string received = Received();
        EXPECT_EQ(received, c.received + "\n");
        EXPECT_EQ(PathFromTypedText(received.substr(0, received.find('\n'))), c.checked);
    }
}

// The extension, loaded by a stand-in for nautilus-python's bindings, with each menu item
// chosen: the program runs with the chosen item, or no item is offered.
TEST_F(DesktopContextMenuTest, GnomeFilesGetsATopLevelItemThroughNautilusPython) {
    if (access("/usr/bin/python3", X_OK) != 0) {
        GTEST_SKIP() << "no /usr/bin/python3 (Debian package python3)";
    }
    SetNautilusPython(true);
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    ASSERT_TRUE(fs::exists(ExtensionFile()));
    EXPECT_FALSE(fs::exists(NautilusFile()));

    const std::string smb = "smb://server/share/dir/Q1%20report%20'final'.xls";
    const std::string item = "item Pellquin::CheckWithPellquin Check With Pellquin\n";
    const struct {
        const char* what;
        const char* api;
        std::vector<std::string> urls;
        std::optional<std::string> received;  // nullopt: no item offered
    } cases[] = {
        {"a local file", "4", {FileUrl(m_item.string())}, m_item.string()},
        {"a local folder, Files 42 and before",
         "3",
         {FileUrl(m_item.parent_path().string())},
         m_item.parent_path().string()},
        {"a file on an SMB share", "4", {smb}, smb},
        {"a file where there is no server to ask", "4", {"sftp://host/home/file"}, std::nullopt},
        {"two files", "4", {FileUrl(m_item.string()), smb}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> argv = {"/usr/bin/python3",
                                         kTestDir + "/nautilus_extension_harness.py",
                                         ExtensionFile().string(), c.api};
        argv.insert(argv.end(), c.urls.begin(), c.urls.end());
        const std::optional<std::string> out = Capture(
            argv, {"PYTHONPATH=" + kTestDir + "/nautilus_stub", "PYTHONDONTWRITEBYTECODE=1"});
        ASSERT_TRUE(out);
        if (c.received) {
            EXPECT_EQ(out->substr(0, out->find("launched")), item);
            EXPECT_EQ(Received(), *c.received + "\n");
        } else {
            EXPECT_EQ(*out, "");
        }
    }
}

// GNOME Files shows one entry: the extension where nautilus-python is installed, the script
// otherwise; installing again after that changes swaps them, all or nothing.
TEST_F(DesktopContextMenuTest, GnomeFilesGetsTheExtensionOrTheScriptAndNeverBoth) {
    const struct {
        bool nautilusPython;
        bool extension;
    } steps[] = {{false, false}, {true, true}, {false, false}, {true, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.nautilusPython ? "with nautilus-python" : "without");
        SetNautilusPython(step.nautilusPython);
        ASSERT_TRUE(m_menu->Install(m_executable.string()));
        EXPECT_EQ(fs::exists(ExtensionFile()), step.extension);
        EXPECT_EQ(fs::exists(NautilusFile()), !step.extension);
    }

    // A failure later on puts back the script that the extension was to replace.
    SetNautilusPython(false);
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    const std::string script = ReadText(NautilusFile());
    SetNautilusPython(true);
    fs::remove_all(m_config);
    WriteText(m_config, "not a directory");
    EXPECT_FALSE(m_menu->Install(m_executable.string()));
    EXPECT_EQ(ReadText(NautilusFile()), script);
    EXPECT_NE(fs::status(NautilusFile()).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_FALSE(fs::exists(ExtensionFile()));
    fs::remove(m_config);

    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    m_menu->Remove();
    EXPECT_FALSE(fs::exists(ExtensionFile()));
    EXPECT_FALSE(fs::exists(NautilusFile()));
    EXPECT_FALSE(fs::exists(NemoFile()));
    EXPECT_FALSE(fs::exists(CajaFile()));
}

TEST_F(DesktopContextMenuTest, FilesOfTheUsersOwnUnderOurNamesOutliveRemoveAndTheSwap) {
    const std::vector<fs::path> files = {KdeFile(), NemoFile(), CajaFile(), NautilusFile(),
                                         ExtensionFile()};
    for (const fs::path& file : files) {
        WriteText(file, "# mine\n");
    }
    m_menu->Remove();
    for (const fs::path& file : files) {
        EXPECT_EQ(ReadText(file), "# mine\n") << file;
    }
    // Installing writes the script, and leaves the user's extension of the same name alone.
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    EXPECT_EQ(ReadText(ExtensionFile()), "# mine\n");
}

// desktop-file-validate judges desktop entries of Type=Application. Of the entries written,
// the KDE service menu (Type=Service) and the Caja action (Type=Action) are desktop entries
// of other types: each may draw only the complaints that their own conventions cause.
TEST_F(DesktopContextMenuTest, DesktopFileValidateFindsNothingBeyondTheOtherTypesConventions) {
    const std::string validator = "/usr/bin/desktop-file-validate";
    if (access(validator.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "no desktop-file-validate (Debian package desktop-file-utils)";
    }
    ASSERT_TRUE(m_menu->Install(m_executable.string()));
    const std::vector<std::pair<std::string, std::vector<std::string>>> conventions = {
        {"Application", {}},
        {"Service",
         {// KDE's "every file and folder"
          "contains value \"all/all\" which is an invalid MIME type",
          // a service menu names its actions, not itself
          "required key \"Name\" in group \"Desktop Entry\" is not present",
          "key \"MimeType\" is present in group \"Desktop Entry\", but the type is \"Service\"",
          "key \"Actions\" is present in group \"Desktop Entry\", but the type is \"Service\""}},
        {"Action",
         {"value \"Action\" for key \"Type\" in group \"Desktop Entry\" is not a registered type",
          // the keys of Caja's format
          "file contains key \"Profiles\" in group \"Desktop Entry\", but keys extending the "
          "format should start with \"X-\"",
          "file contains key \"Tooltip\" in group \"Desktop Entry\", but keys extending the "
          "format should start with \"X-\""}},
    };
    std::vector<std::string> types;
    for (const auto& entry : fs::recursive_directory_iterator(m_data)) {
        const std::string text = ReadText(entry.path());
        if (!entry.is_regular_file() || text.rfind("[Desktop Entry]\n", 0) != 0) {
            continue;
        }
        const std::string type = Between(text, "\nType=", "\n");
        types.push_back(type);
        SCOPED_TRACE(entry.path().string() + " (Type=" + type + ")");
        std::vector<std::string> allowed;
        bool known = false;
        for (const auto& [name, complaints] : conventions) {
            if (name == type) {
                allowed = complaints;
                known = true;
            }
        }
        EXPECT_TRUE(known);
        // It exits 1 on any complaint; the lines are what is judged.
        std::vector<std::string> argv = {"/bin/sh", "-c", "\"$0\" \"$1\" || true", validator,
                                         entry.path().string()};
        const std::optional<std::string> out = Capture(argv);
        ASSERT_TRUE(out);
        std::istringstream lines(*out);
        for (std::string line; std::getline(lines, line);) {
            bool expected = false;
            for (const std::string& complaint : allowed) {
                expected = expected || line.find(complaint) != std::string::npos;
            }
            EXPECT_TRUE(expected) << line;
        }
    }
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<std::string>{"Action", "Service"}));
}

}  // namespace
}  // namespace pellquin
