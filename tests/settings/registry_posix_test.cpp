#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "answer_in_child.h"
#include "hive_fixture.h"
#include "settings/registry_values.h"

namespace pellquin::test {
namespace {

namespace fs = std::filesystem;

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
constexpr char kOptions[] = "Software\\Morrowfen\\Pellquin\\Options";

std::string Dword(uint32_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                       static_cast<char>((value >> 16) & 0xFF),
                       static_cast<char>((value >> 24) & 0xFF)};
}

struct Read {
    uint32_t status = kRegSuccess;
    uint32_t type = kRegNone;
    std::string data;
};

Read Query(Registry& registry, const std::string& path, const std::string& name) {
    RegistryKey key(registry);
    Read read;
    read.status = key.Open(kUser, path, kKeyRead);
    if (read.status == kRegSuccess) {
        read.status = key.QueryValue(name, &read.type, &read.data);
    }
    return read;
}

using RegistryPosixTest = HiveTest;

// A file as regedit exports and users edit them: CR LF, comments, escapes, wrapped hex.
const char kRegeditText[] =
    "REGEDIT4\r\n"
    "\r\n"
    "; exported by hand\r\n"
    "[HKEY_CURRENT_USER\\Software\\Morrowfen\\Pellquin\\Options]\r\n"
    "\"PromptOnClear\"=dword:00000001\r\n"
    "\"Big\"=dword:FFFFFFFE\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Morrowfen\\Pellquin\\PickList]\r\n"
    "\"PickList0\"=\"C:\\\\Data\"\r\n"
    "\"PickList1\"=\"\\\\\\\\srv\\\\share \\\"quoted\\\"\"\r\n"
    "@=\"the default\"\r\n"
    "\"Expand\"=hex(2):25,54,45,4d,50,25,5c,78,00\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  ff\r\n"
    "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
    "\"Empty\"=\"\"\r\n";

TEST_F(RegistryPosixTest, ReadsRegeditTextAndWritesItBackUnchangedInMeaning) {
    WriteHive(kRegeditText);
    struct Case {
        const char* path;
        const char* name;
        uint32_t type;
        std::string data;
    };
    const std::string pick = "Software\\Morrowfen\\Pellquin\\PickList";
    const std::vector<Case> cases = {
        {kOptions, "PromptOnClear", kRegDword, Dword(1)},
        {kOptions, "big", kRegDword, Dword(0xFFFFFFFE)},
        {pick.c_str(), "PickList0", kRegSz, "C:\\Data"},
        {pick.c_str(), "PickList1", kRegSz, "\\\\srv\\share \"quoted\""},
        {pick.c_str(), "", kRegSz, "the default"},
        {pick.c_str(), "Expand", kRegExpandSz, "%TEMP%\\x"},
        {pick.c_str(), "Blob", kRegBinary, "\x01\x02\xff"},
        {pick.c_str(), "Lines", kRegSz, "a\r\nb"},
        {pick.c_str(), "Empty", kRegSz, ""},
    };
    auto check = [&](Registry& registry) {
        for (const Case& c : cases) {
            const Read read = Query(registry, c.path, c.name);
            EXPECT_EQ(read.status, kRegSuccess) << c.name;
            EXPECT_EQ(read.type, c.type) << c.name;
            EXPECT_EQ(read.data, c.data) << c.name;
        }
    };
    auto registry = MakeRegistry();
    check(*registry);

    // Any change rewrites the file from memory; a fresh reader must see the same values.
    RegistryKey key(*registry);
    ASSERT_EQ(key.Create(kUser, "Software\\Other", kKeyAllAccess), kRegSuccess);
    ASSERT_EQ(key.SetValue("X", kRegSz, "y"), kRegSuccess);
    check(*MakeRegistry());

    const std::string written = ReadText(HivePath());
    EXPECT_EQ(written.rfind("REGEDIT4\r\n\r\n", 0), 0u);
    for (const char* line :
         {"[HKEY_CURRENT_USER\\Software\\Morrowfen\\Pellquin\\Options]\r\n",
          "\"PromptOnClear\"=dword:00000001\r\n", "\"PickList0\"=\"C:\\\\Data\"\r\n",
          "\"Expand\"=hex(2):25,54,45,4d,50,25,5c,78,00\r\n", "@=\"the default\"\r\n"}) {
        EXPECT_NE(written.find(line), std::string::npos) << line;
    }
}

TEST_F(RegistryPosixTest, KeysAndValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    auto registry = MakeRegistry();
    RegistryKey key(*registry);
    ASSERT_EQ(key.Create(kUser, "Software\\Morrowfen", kKeyAllAccess), kRegSuccess);
    ASSERT_EQ(key.SetValue("Name", kRegSz, "one"), kRegSuccess);
    ASSERT_EQ(key.Open(kUser, "SOFTWARE\\morrowfen", kKeyAllAccess), kRegSuccess);
    ASSERT_EQ(key.SetValue("NAME", kRegSz, "two"), kRegSuccess);
    key.Close();

    EXPECT_EQ(Query(*registry, "software\\MORROWFEN", "name").data, "two");
    const std::string written = ReadText(HivePath());
    EXPECT_NE(written.find("[HKEY_CURRENT_USER\\Software\\Morrowfen]\r\n\"Name\"=\"two\""),
              std::string::npos)
        << written;
}

TEST_F(RegistryPosixTest, HandlesFollowTheWin32Rules) {
    auto registry = MakeRegistry();
    RegistryKey key(*registry);
    std::string data;
    uint32_t type = 0;

    EXPECT_EQ(key.Open(kUser, kOptions, kKeyRead), kRegFileNotFound);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.QueryValue("PromptOnClear", &type, &data), kRegInvalidHandle);
    EXPECT_EQ(key.SetValue("PromptOnClear", kRegDword, Dword(1)), kRegInvalidHandle);

    // Created with every key above it, even when asked for read access only.
    EXPECT_EQ(key.Create(kUser, kOptions, kKeyRead), kRegSuccess);
    EXPECT_EQ(key.SetValue("PromptOnClear", kRegDword, Dword(1)), kRegAccessDenied);
    EXPECT_EQ(key.QueryValue("PromptOnClear", &type, &data), kRegFileNotFound);
    EXPECT_EQ(key.Open(kUser, "Software\\Morrowfen\\Pellquin", kKeyRead), kRegSuccess);

    ASSERT_EQ(key.Open(kUser, kOptions, kKeyWrite), kRegSuccess);
    EXPECT_EQ(key.SetValue("PromptOnClear", kRegDword, Dword(1)), kRegSuccess);
    EXPECT_EQ(key.QueryValue("PromptOnClear", &type, &data), kRegAccessDenied);
    EXPECT_EQ(key.DeleteValue("Missing"), kRegFileNotFound);
    EXPECT_EQ(key.DeleteValue("promptonclear"), kRegSuccess);
    EXPECT_EQ(Query(*registry, kOptions, "PromptOnClear").status, kRegFileNotFound);

    EXPECT_EQ(key.Create(kUser, "", kKeyAllAccess), kRegSuccess);
    EXPECT_EQ(key.Create(kUser, "\\Software", kKeyAllAccess), kRegInvalidParameter);
    EXPECT_EQ(key.Create(kUser, "Software\\\\X", kKeyAllAccess), kRegInvalidParameter);
}

TEST_F(RegistryPosixTest, DeleteKeyRemovesOneEmptyKeyAtATime) {
    auto registry = MakeRegistry();
    RegistryKey verb(*registry);
    ASSERT_EQ(verb.Create(RegistryRoot::ClassesRoot, "*\\Shell\\Check\\command", kKeyWrite),
              kRegSuccess);
    ASSERT_EQ(verb.SetValue("", kRegSz, "tool \"%1\""), kRegSuccess);
    EXPECT_TRUE(fs::exists(Dir() / "HKEY_CLASSES_ROOT.reg"));
    EXPECT_FALSE(fs::exists(HivePath()));

    RegistryKey shell(*registry);
    ASSERT_EQ(shell.Open(RegistryRoot::ClassesRoot, "*\\Shell", kKeyWrite), kRegSuccess);
    EXPECT_EQ(shell.DeleteKey("Check"), kRegAccessDenied);  // still has "command"
    EXPECT_EQ(shell.DeleteKey("Missing"), kRegFileNotFound);
    ASSERT_EQ(shell.Open(RegistryRoot::ClassesRoot, "*\\Shell\\Check", kKeyWrite), kRegSuccess);
    EXPECT_EQ(shell.DeleteKey("command"), kRegSuccess);
    EXPECT_EQ(verb.SetValue("", kRegSz, "again"), kRegKeyDeleted);
    ASSERT_EQ(shell.Open(RegistryRoot::ClassesRoot, "*\\Shell", kKeyWrite), kRegSuccess);
    EXPECT_EQ(shell.DeleteKey("CHECK"), kRegSuccess);

    EXPECT_EQ(shell.Open(RegistryRoot::ClassesRoot, "*\\Shell\\Check", kKeyRead), kRegFileNotFound);
    EXPECT_EQ(shell.Open(RegistryRoot::ClassesRoot, "*\\Shell", kKeyRead), kRegSuccess);
}

TEST_F(RegistryPosixTest, DamagedHiveIsMovedAsideAndTheRegistryStartsEmpty) {
    const std::vector<std::string> damaged = {
        "",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n",
        "REGEDIT4\r\n\"Orphan\"=dword:00000001\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=dword:123456789\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=dword:xyz\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=\"unterminated\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=\"a\"b\"\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=hex:1,2x\r\n",
        "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=dword:00000001\r\n\"half",
        std::string("\xFF\xFE"
                    "R\0E\0",
                    6),
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text);
        fs::remove_all(Dir());
        WriteHive(text);
        auto registry = MakeRegistry();
        EXPECT_EQ(Query(*registry, "A", "V").status, kRegFileNotFound);

        std::vector<fs::path> aside;
        for (const auto& entry : fs::directory_iterator(Dir())) {
            aside.push_back(entry.path());
        }
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(aside[0].filename().string().rfind("HKEY_CURRENT_USER.reg.bad-", 0), 0u);
        EXPECT_EQ(ReadText(aside[0]), text);

        // Writing afterwards makes a new hive and leaves the damaged copy alone.
        RegistryKey key(*registry);
        ASSERT_EQ(key.Create(kUser, "A", kKeyAllAccess), kRegSuccess);
        ASSERT_EQ(key.SetValue("V", kRegDword, Dword(7)), kRegSuccess);
        EXPECT_EQ(Query(*MakeRegistry(), "A", "V").data, Dword(7));
        EXPECT_EQ(ReadText(aside[0]), text);
    }
}

TEST_F(RegistryPosixTest, LeftoverTemporaryFileDoesNotDisturbTheHive) {
    WriteHive("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=\"kept\"\r\n");
    // What a crash after writing the temporary file and before the rename leaves behind.
    std::ofstream(Dir() / "HKEY_CURRENT_USER.reg.tmp.Ab12Cd", std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=\"ne";

    auto registry = MakeRegistry();
    EXPECT_EQ(Query(*registry, "A", "V").data, "kept");
    RegistryKey key(*registry);
    ASSERT_EQ(key.Open(kUser, "A", kKeyAllAccess), kRegSuccess);
    ASSERT_EQ(key.SetValue("W", kRegSz, "new"), kRegSuccess);
    EXPECT_EQ(Query(*MakeRegistry(), "A", "V").data, "kept");
    EXPECT_EQ(Query(*MakeRegistry(), "A", "W").data, "new");
}

TEST_F(RegistryPosixTest, KilledWriterNeverLeavesATornHive) {
    // A writer killed at arbitrary moments; each time the hive must parse and hold every
    // value, each either before or after one of the writer's changes.
    const std::string padding(4000, 'p');
    {
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        ASSERT_EQ(key.Create(kUser, "A", kKeyAllAccess), kRegSuccess);
        for (int i = 0; i < 20; ++i) {
            ASSERT_EQ(key.SetValue("V" + std::to_string(i), kRegSz, padding), kRegSuccess);
        }
    }
    for (int round = 0; round < 15; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto registry = MakeRegistry();
            RegistryKey key(*registry);
            key.Open(kUser, "A", kKeyAllAccess);
            for (uint32_t n = 0;; ++n) {
                key.SetValue("V" + std::to_string(n % 20), kRegSz, padding + std::to_string(n));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3 + round * 2));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        auto registry = MakeRegistry();
        for (int i = 0; i < 20; ++i) {
            const Read read = Query(*registry, "A", "V" + std::to_string(i));
            ASSERT_EQ(read.status, kRegSuccess) << "round " << round << " value " << i;
            EXPECT_EQ(read.data.compare(0, padding.size(), padding), 0);
        }
        for (const auto& entry : fs::directory_iterator(Dir())) {
            EXPECT_EQ(entry.path().string().find(".bad-"), std::string::npos);
        }
    }
}

TEST_F(RegistryPosixTest, ChangesOfAnotherProcessAreSeenAndKept) {
    auto first = MakeRegistry();
    auto second = MakeRegistry();
    RegistryKey a(*first);
    RegistryKey b(*second);
    ASSERT_EQ(a.Create(kUser, "A", kKeyAllAccess), kRegSuccess);
    ASSERT_EQ(b.Open(kUser, "A", kKeyAllAccess), kRegSuccess);
    ASSERT_EQ(a.SetValue("FromFirst", kRegSz, "1"), kRegSuccess);
    ASSERT_EQ(b.SetValue("FromSecond", kRegSz, "2"), kRegSuccess);

    EXPECT_EQ(Query(*first, "A", "FromSecond").data, "2");
    EXPECT_EQ(Query(*second, "A", "FromFirst").data, "1");
}

TEST_F(RegistryPosixTest, ConcurrentWritersKeepEachOthersChanges) {
    {
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        ASSERT_EQ(key.Create(kUser, "A", kKeyAllAccess), kRegSuccess);
    }
    constexpr int kWriters = 3;
    constexpr int kValues = 20;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto registry = MakeRegistry();
            RegistryKey key(*registry);
            key.Open(kUser, "A", kKeyAllAccess);
            int failures = 0;
            for (int i = 0; i < kValues; ++i) {
                const std::string name = "W" + std::to_string(w) + "_" + std::to_string(i);
                failures += key.SetValue(name, kRegSz, name) != kRegSuccess;
            }
            _exit(failures);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    auto registry = MakeRegistry();
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kValues; ++i) {
            const std::string name = "W" + std::to_string(w) + "_" + std::to_string(i);
            EXPECT_EQ(Query(*registry, "A", name).data, name);
        }
    }
}

TEST_F(RegistryPosixTest, FailedWriteIsReportedAndChangesNothing) {
    const std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=\"old\"\r\n";
    WriteHive(text);
    auto registry = MakeRegistry();
    RegistryKey key(*registry);
    ASSERT_EQ(key.Open(kUser, "A", kKeyAllAccess), kRegSuccess);

    // A full disk, as far as this process can tell (root ignores file permissions).
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const uint32_t setStatus = key.SetValue("V", kRegSz, "new");
    RegistryKey created(*registry);
    const uint32_t createStatus = created.Create(kUser, "A\\B", kKeyAllAccess);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(setStatus, kRegIoFailed);
    EXPECT_EQ(createStatus, kRegIoFailed);
    EXPECT_FALSE(created.IsOpen());
    EXPECT_EQ(Query(*registry, "A", "V").data, "old");
    EXPECT_EQ(Query(*registry, "A\\B", "").status, kRegFileNotFound);
    EXPECT_EQ(ReadText(HivePath()), text);
    // No temporary file left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 1);
}

// The names in the hive directory that look like a save's temporary file.
std::vector<std::string> Temporaries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tmp.") != std::string::npos) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(RegistryPosixTest, TemporariesOfKilledSavesAreRemovedByTheNextSave) {
    WriteHive("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=\"kept\"\r\n");
    // Each stale temporary is a full copy of the settings, secrets included.
    for (const char* stale :
         {"HKEY_CURRENT_USER.reg.tmp.Ab12Cd", "HKEY_CURRENT_USER.reg.tmp.zz0099"}) {
        std::ofstream(Dir() / stale) << "REGEDIT4\r\n\"ProxyPassword\"=\"secret\"\r\n";
    }
    // Names that only look like one, and what is no regular file, stay.
    const std::vector<std::string> others = {"HKEY_CURRENT_USER.reg.bad-20260101-000000",
                                             "HKEY_CURRENT_USER.reg.tmp.Ab12C",
                                             "HKEY_CURRENT_USER.reg.tmp.Ab12Cd.keep",
                                             "HKEY_CURRENT_USER.reg.tmp.dir123",
                                             "HKEY_CURRENT_USER.reg.tmp.lnk123",
                                             "HKEY_CURRENT_USER.reg.tmp.Ab-2Cd",
                                             "notes.txt"};
    for (const std::string& name : others) {
        if (name.find("dir") != std::string::npos) {
            fs::create_directory(Dir() / name);
        } else if (name.find("lnk") != std::string::npos) {
            fs::create_symlink(HivePath(), Dir() / name);
        } else {
            std::ofstream(Dir() / name) << "x";
        }
    }

    auto registry = MakeRegistry();
    RegistryKey key(*registry);
    ASSERT_EQ(key.Open(kUser, "A", kKeyAllAccess), kRegSuccess);
    ASSERT_EQ(key.SetValue("W", kRegSz, "new"), kRegSuccess);

    std::vector<std::string> expected;
    for (const std::string& name : others) {
        if (name.find(".tmp.") != std::string::npos) {
            expected.push_back(name);
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Temporaries(Dir()), expected);
    for (const std::string& name : others) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(Dir() / name))) << name;
    }
    EXPECT_EQ(Query(*MakeRegistry(), "A", "V").data, "kept");
    EXPECT_EQ(Query(*MakeRegistry(), "A", "W").data, "new");
}

TEST_F(RegistryPosixTest, KilledSavesLeaveNoCopiesOnceASaveCompletes) {
    const std::string padding(20000, 'p');
    {
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        ASSERT_EQ(key.Create(kUser, "A", kKeyAllAccess), kRegSuccess);
        ASSERT_EQ(key.SetValue("Secret", kRegSz, padding), kRegSuccess);
    }
    // Each round, a writer that saves without end is killed in the middle of some save.
    const auto saveForever = [&] {
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        key.Open(kUser, "A", kKeyAllAccess);
        for (uint32_t n = 0;; ++n) {
            key.SetValue("Secret", kRegSz, padding + std::to_string(n));
        }
    };
    for (int round = 0; round < 20; ++round) {
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            saveForever();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2 + round));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    }
    auto registry = MakeRegistry();
    RegistryKey key(*registry);
    ASSERT_EQ(key.Open(kUser, "A", kKeyAllAccess), kRegSuccess);
    ASSERT_EQ(key.SetValue("After", kRegSz, "1"), kRegSuccess);
    EXPECT_EQ(Temporaries(Dir()), std::vector<std::string>{});
    EXPECT_EQ(Query(*registry, "A", "Secret").data.compare(0, padding.size(), padding), 0);
}

TEST_F(RegistryPosixTest, AnotherProcessesSaveInProgressIsLeftAlone) {
    {
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        ASSERT_EQ(key.Create(kUser, "A", kKeyAllAccess), kRegSuccess);
    }
    // This process is between writing its temporary and renaming it, holding the lock.
    const int lock = open(Dir().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    const fs::path inFlight = Dir() / "HKEY_CURRENT_USER.reg.tmp.Q1w2E3";
    std::ofstream(inFlight) << "REGEDIT4\r\n";

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(lock);  // the parent's, which would hold the lock on here too
        alarm(20);
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        key.Open(kUser, "A", kKeyAllAccess);
        _exit(key.SetValue("FromChild", kRegSz, "1") == kRegSuccess ? 0 : 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(fs::exists(inFlight));  // the child's save waits for the lock
    fs::remove(inFlight);               // as the rename would take it away
    close(lock);

    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Query(*MakeRegistry(), "A", "FromChild").data, "1");
}

// Query and create on a fresh registry, where a hive that blocks the reader fails the test
// instead of hanging it: "<query> <create>" statuses.
std::string StatusesInChild() {
    return AnswerInChild([] {
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        return std::to_string(Query(*registry, "A", "V").status) + " " +
               std::to_string(key.Create(kUser, "A", kKeyAllAccess));
    });
}

TEST_F(RegistryPosixTest, AHiveThatIsNoRegularFileIsNeitherReadNorReplaced) {
    const std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=\"x\"\r\n";
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
        fs::file_type type;
    };
    const Case cases[] = {
        {"a FIFO", [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
         fs::file_type::fifo},
        {"a directory", [](const fs::path& p) { fs::create_directory(p); },
         fs::file_type::directory},
        // Saves rename a new file over the hive, which would cut the link.
        {"a symbolic link",
         [&](const fs::path& p) {
             std::ofstream(p.string() + ".elsewhere") << text;
             fs::create_symlink(p.string() + ".elsewhere", p);
         },
         fs::file_type::symlink},
        {"beyond the size limit",
         [](const fs::path& p) {
             const int fd = open(p.c_str(), O_CREAT | O_WRONLY, 0600);
             ASSERT_GE(fd, 0);
             ASSERT_EQ(ftruncate(fd, (off_t{64} << 20) + 1), 0);  // sparse
             close(fd);
         },
         fs::file_type::regular},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Dir());
        fs::create_directories(Dir());
        c.make(HivePath());
        EXPECT_EQ(StatusesInChild(),
                  std::to_string(kRegFileNotFound) + " " + std::to_string(kRegAccessDenied));
        EXPECT_EQ(fs::symlink_status(HivePath()).type(), c.type);
        EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()),
                  c.type == fs::file_type::symlink ? 2 : 1);  // nothing moved aside
    }
}

TEST(RegistryFactoryTest, HivesLiveInTheUsersConfigDirectory) {
    char pattern[] = "/tmp/pellquin-home-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string home = pattern;
    const char* oldHome = getenv("HOME");
    const char* oldXdg = getenv("XDG_CONFIG_HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    const std::optional<std::string> savedXdg =
        oldXdg ? std::optional<std::string>(oldXdg) : std::nullopt;

    setenv("HOME", home.c_str(), 1);
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
        if (xdg) {
            setenv("XDG_CONFIG_HOME", xdg, 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        fs::remove_all(home + "/.config");
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        EXPECT_EQ(key.Create(kUser, "A", kKeyAllAccess), kRegSuccess);
        EXPECT_TRUE(fs::exists(home + "/.config/pellquin/HKEY_CURRENT_USER.reg"))
            << (xdg ? xdg : "(unset)");
    }

    setenv("HOME", savedHome.c_str(), 1);
    if (savedXdg) {
        setenv("XDG_CONFIG_HOME", savedXdg->c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    fs::remove_all(home);
}

}  // namespace
}  // namespace pellquin::test
