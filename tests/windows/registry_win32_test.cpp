// The registry adapter and the settings built on it, against a real Windows registry (Wine's,
// in the build's private prefix): the typed-read rules of the settings and proxy keys, the
// handle rules the interface promises, the settings store end to end, and the Explorer
// menu keys under HKEY_CLASSES_ROOT written, rewritten and removed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "settings/constants.h"
#include "settings/registry_values.h"
#include "settings/settings_store.h"

namespace pellquin {
namespace {

using Strings = std::vector<std::string>;
constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
constexpr RegistryRoot kClasses = RegistryRoot::ClassesRoot;

std::string Dword(uint32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

// Deletes `path` and every key below it, as far as they exist.
void DeleteTree(Registry& registry, RegistryRoot root, const std::string& path) {
    HKEY key = nullptr;
    const HKEY rootKey = root == kClasses ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
    if (RegOpenKeyExA(rootKey, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    Strings children;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        children.emplace_back(name, size);
    }
    RegCloseKey(key);
    for (const std::string& child : children) {
        DeleteTree(registry, root, path + "\\" + child);
    }
    const size_t slash = path.rfind('\\');
    RegistryKey parent(registry);
    if (slash == std::string::npos) {
        RegDeleteKeyA(rootKey, path.c_str());
    } else if (parent.Open(root, path.substr(0, slash), kKeyAllAccess) == kRegSuccess) {
        parent.DeleteKey(path.substr(slash + 1));
    }
}

// The names of the subkeys of `path`, as the registry spells them.
Strings SubkeyNames(RegistryRoot root, const std::string& path) {
    Strings names;
    HKEY key = nullptr;
    const HKEY rootKey = root == kClasses ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
    if (RegOpenKeyExA(rootKey, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

// A private scratch key under HKEY_CURRENT_USER\Software, removed afterwards.
class RegistryWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        m_registry = MakeRegistry();
        m_key = "Software\\PellquinTest" + std::to_string(std::random_device()());
    }
    void TearDown() override { DeleteTree(*m_registry, kUser, m_key); }

    std::unique_ptr<Registry> m_registry;
    std::string m_key;
};

TEST_F(RegistryWin32Test, TypedReadsFollowTheSettingsRules) {
    struct Case {
        const char* name;
        uint32_t type;  // kRegNone: the value is not written
        std::string data;
        uint32_t integerStatus;
        int32_t integer;
        uint32_t textStatus;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"Count", kRegDword, Dword(7), kRegSuccess, 7, kRegUnsupportedType, ""},
        {"Negative", kRegDword, Dword(0xfffffffb), kRegSuccess, -5, kRegUnsupportedType, ""},
        {"Path", kRegSz, "C:\\Data", kRegUnsupportedType, 0, kRegSuccess, "C:\\Data"},
        {"Empty", kRegSz, "", kRegUnsupportedType, 0, kRegSuccess, ""},
        {"NumberAsText", kRegSz, "3", kRegUnsupportedType, 0, kRegSuccess, "3"},
        {"Expandable", kRegExpandSz, "%TEMP%\\x", kRegUnsupportedType, 0, kRegSuccess, "%TEMP%\\x"},
        {"Binary", kRegBinary, Dword(3), kRegUnsupportedType, 0, kRegUnsupportedType, ""},
        {"Missing", kRegNone, "", kRegFileNotFound, 0, kRegSuccess, ""},
    };
    RegistryKey key(*m_registry);
    ASSERT_EQ(key.Create(kUser, m_key, kKeyAllAccess), kRegSuccess);
    for (const Case& c : cases) {
        if (c.type != kRegNone) {
            ASSERT_EQ(key.SetValue(c.name, c.type, c.data), kRegSuccess) << c.name;
        }
    }
    RegistryKey reader(*m_registry);
    ASSERT_EQ(reader.Open(kUser, m_key, kKeyRead), kRegSuccess);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t integer = 0;
        EXPECT_EQ(ReadRegistryInteger(reader, c.name, &integer), c.integerStatus);
        if (c.integerStatus == kRegSuccess) {
            EXPECT_EQ(integer, c.integer);
        }
        std::string text = "previous";
        EXPECT_EQ(ReadRegistryText(reader, c.name, &text), c.textStatus);
        if (c.textStatus == kRegSuccess) {
            EXPECT_EQ(text, c.text);
        }
    }
}

TEST_F(RegistryWin32Test, StringsReadTheSameWithOrWithoutTheirStoredTerminator) {
    RegistryKey key(*m_registry);
    ASSERT_EQ(key.Create(kUser, m_key, kKeyAllAccess), kRegSuccess);
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_SET_VALUE, &raw),
              ERROR_SUCCESS);
    const char text[] = "C:\\Tools";
    RegSetValueExA(raw, "WithNul", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegSetValueExA(raw, "WithoutNul", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   sizeof text - 1);
    RegCloseKey(raw);

    for (const char* name : {"WithNul", "WithoutNul"}) {
        uint32_t type = 0;
        std::string data;
        EXPECT_EQ(key.QueryValue(name, &type, &data), kRegSuccess);
        EXPECT_EQ(type, kRegSz);
        EXPECT_EQ(data, "C:\\Tools") << name;
    }
}

TEST_F(RegistryWin32Test, HandlesFollowTheWin32Rules) {
    RegistryKey missing(*m_registry);
    EXPECT_EQ(missing.Open(kUser, m_key + "\\Nowhere", kKeyRead), kRegFileNotFound);
    EXPECT_FALSE(missing.IsOpen());
    uint32_t type = 0;
    std::string data;
    EXPECT_EQ(missing.QueryValue("x", &type, &data), kRegInvalidHandle);
    EXPECT_EQ(missing.SetValue("x", kRegDword, Dword(1)), kRegInvalidHandle);

    RegistryKey created(*m_registry);
    ASSERT_EQ(created.Create(kUser, m_key + "\\Sub\\Leaf", kKeyRead), kRegSuccess);
    // The mask limits the handle, not the creation.
    EXPECT_EQ(created.SetValue("x", kRegDword, Dword(1)), kRegAccessDenied);

    RegistryKey writer(*m_registry);
    ASSERT_EQ(writer.Open(kUser, m_key + "\\SUB\\leaf", kKeyWrite), kRegSuccess)
        << "key names ignore case";
    EXPECT_EQ(writer.SetValue("Value", kRegDword, Dword(9)), kRegSuccess);
    EXPECT_EQ(writer.QueryValue("Value", &type, &data), kRegAccessDenied);
    EXPECT_EQ(writer.DeleteValue("Value"), kRegSuccess);
    EXPECT_EQ(writer.DeleteValue("Value"), kRegFileNotFound);

    RegistryKey top(*m_registry);
    ASSERT_EQ(top.Open(kUser, m_key, kKeyAllAccess), kRegSuccess);
    EXPECT_NE(top.DeleteKey("Sub"), kRegSuccess) << "a key with subkeys stays";
    RegistryKey sub(*m_registry);
    ASSERT_EQ(sub.Open(kUser, m_key + "\\Sub", kKeyAllAccess), kRegSuccess);
    EXPECT_EQ(sub.DeleteKey("Leaf"), kRegSuccess);
    EXPECT_EQ(top.DeleteKey("Sub"), kRegSuccess);
    EXPECT_EQ(SubkeyNames(kUser, m_key), Strings{});
}

// The settings store on the real registry, under its own key, which the test owns for its run.
class SettingsStoreWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        m_registry = MakeRegistry();
        DeleteTree(*m_registry, kUser, kSettingsRootKey);
    }
    void TearDown() override { DeleteTree(*m_registry, kUser, kSettingsRootKey); }

    std::unique_ptr<Registry> m_registry;
};

TEST_F(SettingsStoreWin32Test, FirstStartThenEverythingSavedIsLoadedByTheNextRun) {
    SettingsStore first(*m_registry);
    Strings favourites = {"stale"};
    Strings pickList = {"stale"};
    OptionsState options;
    DefaultsState defaults;
    first.LoadFavourites(favourites);
    first.LoadOptions(options);
    first.LoadDefaults(defaults);
    first.LoadPickList(pickList);
    EXPECT_TRUE(favourites.empty());
    EXPECT_TRUE(pickList.empty());
    EXPECT_EQ(defaults.windowLeft, 291);
    EXPECT_EQ(defaults.doneFirstRun, 0);
    // The loads that may create their key did; the read-only ones did not.
    Strings subkeys = SubkeyNames(kUser, kSettingsRootKey);
    std::sort(subkeys.begin(), subkeys.end());
    EXPECT_EQ(subkeys, (Strings{"Defaults", "Options"}));

    const Strings savedFavourites = {"Reports|||\\\\srv\\data\\reports", "Blank|||C:\\a b\\"};
    const Strings savedPickList = {"C:\\Data", "c:\\data", "\\\\srv\\share\\x.xls"};
    OptionsState savedOptions;
    savedOptions.promptOnClear = false;
    savedOptions.directThenService = false;
    savedOptions.serviceOnly = true;
    const DefaultsState savedDefaults{-1280, -4, 600, 900, 333, 1};
    first.SaveFavourites(savedFavourites);
    first.SaveOptions(savedOptions);
    first.SavePickList(savedPickList);
    first.SaveDefaults(savedDefaults);

    auto registry = MakeRegistry();
    SettingsStore next(*registry);
    next.LoadFavourites(favourites);
    next.LoadOptions(options);
    next.LoadDefaults(defaults);
    next.LoadPickList(pickList);
    EXPECT_EQ(favourites, savedFavourites);
    EXPECT_EQ(pickList, savedPickList);
    EXPECT_FALSE(options.promptOnClear);
    EXPECT_FALSE(options.directThenService);
    EXPECT_TRUE(options.serviceOnly);
    EXPECT_TRUE(options.showDirectories);
    EXPECT_EQ(defaults.windowLeft, -1280);
    EXPECT_EQ(defaults.windowTop, -4);
    EXPECT_EQ(defaults.drivesWidth, 333);
    EXPECT_EQ(defaults.doneFirstRun, 1);
}

TEST_F(SettingsStoreWin32Test, ValuesOfTheWrongTypeEndTheLoadWhereTheyStand) {
    const std::string root = kSettingsRootKey;
    {
        RegistryKey pick(*m_registry);
        ASSERT_EQ(pick.Create(kUser, root + "\\PickList", kKeyAllAccess), kRegSuccess);
        pick.SetValue("NumPickList", kRegSz, "1");
        pick.SetValue("PickList0", kRegSz, "C:\\Data");
        RegistryKey favourites(*m_registry);
        ASSERT_EQ(favourites.Create(kUser, root + "\\Favourites", kKeyAllAccess), kRegSuccess);
        favourites.SetValue("NumFavourites", kRegDword, Dword(4));
        favourites.SetValue("Favourite0", kRegSz, "One|||C:\\1");
        favourites.SetValue("Favourite2", kRegExpandSz, "Three|||%TEMP%");
        favourites.SetValue("Favourite3", kRegDword, Dword(1));
        RegistryKey defaults(*m_registry);
        ASSERT_EQ(defaults.Create(kUser, root + "\\Defaults", kKeyAllAccess), kRegSuccess);
        defaults.SetValue("WindowLeft", kRegDword, Dword(10));
        defaults.SetValue("WindowHeight", kRegDword, Dword(100));
        defaults.SetValue("DoneFirstRun", kRegDword, Dword(1));
    }
    SettingsStore store(*m_registry);
    Strings pickList = {"previous"};
    store.LoadPickList(pickList);
    EXPECT_TRUE(pickList.empty()) << "a count stored as text";

    Strings favourites;
    store.LoadFavourites(favourites);
    EXPECT_EQ(favourites, (Strings{"One|||C:\\1", "", "Three|||%TEMP%"}));

    DefaultsState defaults;
    defaults.windowHeight = 550;
    store.LoadDefaults(defaults);
    EXPECT_EQ(defaults.windowLeft, 10);
    EXPECT_EQ(defaults.windowHeight, 550) << "the load ends at the missing WindowTop";
    EXPECT_EQ(defaults.doneFirstRun, 0);
}

// The Explorer menu entries, written as the shell integration writes them (KEY_WRITE, the
// command line as the default value) and removed one key at a time.
class ExplorerMenuKeysTest : public ::testing::Test {
protected:
    void SetUp() override { m_registry = MakeRegistry(); }
    void TearDown() override {
        for (const char* shell : {"*\\Shell", "folder\\Shell"}) {
            DeleteTree(*m_registry, kClasses, std::string(shell) + "\\Check With Pellquin");
        }
    }

    uint32_t Install(const std::string& command) {
        for (const char* shell : {"*\\Shell", "folder\\Shell"}) {
            RegistryKey key(*m_registry);
            const std::string path = std::string(shell) + "\\Check With Pellquin\\command";
            if (const uint32_t status = key.Create(kClasses, path, kKeyWrite)) {
                return status;
            }
            if (const uint32_t status = key.SetValue("", kRegSz, command)) {
                return status;
            }
        }
        return kRegSuccess;
    }

    // Returns the statuses of the four deletions.
    std::vector<uint32_t> Remove() {
        std::vector<uint32_t> statuses;
        for (const char* shell : {"*\\Shell", "folder\\Shell"}) {
            RegistryKey verb(*m_registry);
            verb.Open(kClasses, std::string(shell) + "\\Check With Pellquin", kKeyWrite);
            statuses.push_back(verb.DeleteKey("command"));
            RegistryKey shellKey(*m_registry);
            shellKey.Open(kClasses, shell, kKeyWrite);
            statuses.push_back(shellKey.DeleteKey("Check With Pellquin"));
        }
        return statuses;
    }

    std::optional<std::string> Command(const std::string& shell) {
        RegistryKey key(*m_registry);
        if (key.Open(kClasses, shell + "\\Check With Pellquin\\command", kKeyRead) != 0) {
            return std::nullopt;
        }
        uint32_t type = 0;
        std::string data;
        if (key.QueryValue("", &type, &data) != kRegSuccess || type != kRegSz) {
            return std::nullopt;
        }
        return data;
    }

    std::unique_ptr<Registry> m_registry;
};

TEST_F(ExplorerMenuKeysTest, AreWrittenRewrittenAndRemovedLeavingTheShellKeys) {
    const std::string first = "C:\\Program Files\\Pellquin\\pellquin.exe \"%1\"";
    ASSERT_EQ(Install(first), kRegSuccess);
    EXPECT_EQ(Command("*\\Shell"), first);
    EXPECT_EQ(Command("folder\\Shell"), first);
    for (const char* shell : {"*\\Shell", "folder\\Shell"}) {
        const Strings verbs = SubkeyNames(kClasses, shell);
        EXPECT_NE(std::find(verbs.begin(), verbs.end(), "Check With Pellquin"), verbs.end())
            << shell << ": the verb key keeps its spelling";
    }

    const std::string moved = "D:\\Tools\\pellquin.exe \"%1\"";
    ASSERT_EQ(Install(moved), kRegSuccess);
    EXPECT_EQ(Command("*\\Shell"), moved);
    EXPECT_EQ(Command("folder\\Shell"), moved);

    EXPECT_EQ(Remove(), (std::vector<uint32_t>{0, 0, 0, 0}));
    EXPECT_EQ(Command("*\\Shell"), std::nullopt);
    for (const char* shell : {"*\\Shell", "folder\\Shell"}) {
        RegistryKey key(*m_registry);
        EXPECT_EQ(key.Open(kClasses, shell, kKeyRead), kRegSuccess) << shell << " stays";
        EXPECT_EQ(key.Open(kClasses, std::string(shell) + "\\Check With Pellquin", kKeyRead),
                  kRegFileNotFound);
    }

    // Removing again finds nothing to delete and touches nothing else.
    const std::vector<uint32_t> again = Remove();
    for (const uint32_t status : again) {
        EXPECT_NE(status, kRegSuccess);
    }
    RegistryKey shellKey(*m_registry);
    EXPECT_EQ(shellKey.Open(kClasses, "*\\Shell", kKeyRead), kRegSuccess);
}

TEST_F(ExplorerMenuKeysTest, AKeyWriteHandleCannotRead) {
    RegistryKey key(*m_registry);
    ASSERT_EQ(key.Create(kClasses, "*\\Shell\\Check With Pellquin\\command", kKeyWrite),
              kRegSuccess);
    uint32_t type = 0;
    std::string data;
    EXPECT_EQ(key.QueryValue("", &type, &data), kRegAccessDenied);
}

}  // namespace
}  // namespace pellquin
