#include "settings/settings_store.h"

#include "fake_registry.h"
#include "hive_fixture.h"
#include "settings/constants.h"
#include "settings/registry_values.h"

namespace pellquin::test {
namespace {

using Strings = std::vector<std::string>;

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
const std::string kRoot = kSettingsRootKey;

std::string Section(const std::string& subkey) {
    return "[HKEY_CURRENT_USER\\Software\\Morrowfen\\Pellquin\\" + subkey + "]\r\n";
}

std::string Hive(const std::string& body) {
    return "REGEDIT4\r\n\r\n" + body;
}

bool OptionsEqual(const OptionsState& a, const OptionsState& b) {
    return a.promptOnClear == b.promptOnClear && a.showDirectories == b.showDirectories &&
           a.directThenService == b.directThenService && a.directOnly == b.directOnly &&
           a.serviceOnly == b.serviceOnly && a.clientRelative == b.clientRelative &&
           a.serverRelative == b.serverRelative;
}

bool DefaultsEqual(const DefaultsState& a, const DefaultsState& b) {
    return a.windowLeft == b.windowLeft && a.windowTop == b.windowTop &&
           a.windowHeight == b.windowHeight && a.windowWidth == b.windowWidth &&
           a.drivesWidth == b.drivesWidth && a.doneFirstRun == b.doneFirstRun;
}

// The store over the real Linux hive in a private config directory.
class SettingsStoreTest : public HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        m_registry = MakeRegistry();
        m_store = std::make_unique<SettingsStore>(*m_registry);
    }

    // A value as another run of the program would find it.
    std::optional<int32_t> StoredInteger(const std::string& subkey, const std::string& name) {
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        key.Open(kUser, kRoot + "\\" + subkey, kKeyRead);
        int32_t value = 0;
        if (ReadRegistryInteger(key, name, &value) != kRegSuccess) {
            return std::nullopt;
        }
        return value;
    }

    bool KeyExists(const std::string& subkey) {
        RegistryKey key(*m_registry);
        return key.Open(kUser, kRoot + "\\" + subkey, kKeyRead) == kRegSuccess;
    }

    std::unique_ptr<Registry> m_registry;
    std::unique_ptr<SettingsStore> m_store;
};

TEST_F(SettingsStoreTest, FirstStartKeepsBuiltInValues) {
    Strings favourites = {"stale|||C:\\"};
    Strings pickList = {"stale"};
    OptionsState options;
    DefaultsState defaults;
    defaults.windowHeight = 550;
    defaults.windowWidth = 811;
    m_store->LoadFavourites(favourites);
    m_store->LoadOptions(options);
    m_store->LoadDefaults(defaults);
    m_store->LoadPickList(pickList);

    EXPECT_TRUE(favourites.empty());
    EXPECT_TRUE(pickList.empty());
    EXPECT_TRUE(OptionsEqual(options, OptionsState{}));
    DefaultsState expected;
    expected.windowHeight = 550;
    expected.windowWidth = 811;
    EXPECT_TRUE(DefaultsEqual(defaults, expected));
    EXPECT_EQ(defaults.doneFirstRun, 0);
    // The loads that may create their key do; the read-only ones do not.
    EXPECT_TRUE(KeyExists("Options"));
    EXPECT_TRUE(KeyExists("Defaults"));
    EXPECT_FALSE(KeyExists("Favourites"));
    EXPECT_FALSE(KeyExists("PickList"));
}

TEST_F(SettingsStoreTest, EverythingSavedIsLoadedByTheNextRun) {
    const Strings favourites = {"Reports|||\\\\srv\\data\\reports", "Say \"hi\"|||C:\\a b\\"};
    const Strings pickList = {"C:\\Data", "\\\\srv\\share\\x.xls", "c:\\data"};
    OptionsState options;
    options.promptOnClear = false;
    options.directThenService = false;
    options.serviceOnly = true;
    options.clientRelative = false;
    options.serverRelative = true;
    DefaultsState defaults{-1280, -4, 600, 900, 333, 1};
    m_store->SaveFavourites(favourites);
    m_store->SaveOptions(options);
    m_store->SavePickList(pickList);
    m_store->SaveDefaults(defaults);

    auto registry = MakeRegistry();
    SettingsStore next(*registry);
    Strings loadedFavourites, loadedPickList;
    OptionsState loadedOptions;
    DefaultsState loadedDefaults;
    next.LoadFavourites(loadedFavourites);
    next.LoadOptions(loadedOptions);
    next.LoadDefaults(loadedDefaults);
    next.LoadPickList(loadedPickList);
    EXPECT_EQ(loadedFavourites, favourites);
    EXPECT_EQ(loadedPickList, pickList);
    EXPECT_TRUE(OptionsEqual(loadedOptions, options));
    EXPECT_TRUE(DefaultsEqual(loadedDefaults, defaults));

    const std::string text = ReadText(HivePath());
    EXPECT_NE(text.find(Section("Options") + "\"PromptOnClear\"=dword:00000000\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"PickList0\"=\"C:\\\\Data\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"WindowLeft\"=dword:fffffb00\r\n"), std::string::npos);
}

TEST_F(SettingsStoreTest, ListEntriesReadAsTextOrEmpty) {
    WriteHive(Hive(Section("Favourites") + "\"NumFavourites\"=dword:00000004\r\n"
                                           "\"Favourite0\"=\"First|||C:\\\\one\"\r\n"
                                           "\"Favourite2\"=\"Third|||C:\\\\three\"\r\n"
                                           "\"Favourite3\"=hex(2):25,54,45,4d,50,25,00\r\n"));
    Strings favourites;
    m_store->LoadFavourites(favourites);
    EXPECT_EQ(favourites, (Strings{"First|||C:\\one", "", "Third|||C:\\three", "%TEMP%"}));
}

TEST_F(SettingsStoreTest, UnusableCountLeavesTheListEmpty) {
    const std::vector<std::string> counts = {
        "dword:00000000",
        "dword:ffffffff",   // negative
        "dword:80000000",   // most negative
        "\"3\"",            // text
        "hex:03,00,00,00",  // binary
        "dword:7fffffff",   // a damaged value, not a list to allocate
    };
    for (const std::string& count : counts) {
        SCOPED_TRACE(count);
        WriteHive(Hive(Section("PickList") + "\"NumPickList\"=" + count +
                       "\r\n\"PickList0\"=\"C:\\\\Data\"\r\n"));
        Strings pickList = {"previous"};
        m_store->LoadPickList(pickList);
        EXPECT_TRUE(pickList.empty());
    }
}

TEST_F(SettingsStoreTest, ListLoadStopsAtAnEntryOfAnotherType) {
    WriteHive(Hive(Section("PickList") + "\"NumPickList\"=dword:00000003\r\n"
                                         "\"PickList0\"=\"C:\\\\a\"\r\n"
                                         "\"PickList1\"=dword:00000001\r\n"
                                         "\"PickList2\"=\"C:\\\\c\"\r\n"));
    Strings pickList;
    m_store->LoadPickList(pickList);
    EXPECT_EQ(pickList, Strings{"C:\\a"});
}

TEST_F(SettingsStoreTest, OptionsApplyEachValueAsRead) {
    struct Case {
        const char* name;
        std::string values;
        OptionsState expected;
    };
    OptionsState noMechanism;
    noMechanism.directThenService = false;
    OptionsState stopsAtText;  // ShowDirectories is text: PromptOnClear applied, rest built in
    stopsAtText.promptOnClear = false;
    OptionsState nonZeroIsOn;
    nonZeroIsOn.directOnly = true;
    nonZeroIsOn.serverRelative = true;
    const std::vector<Case> cases = {
        {"all three mechanisms off",
         "\"DirectThenService\"=dword:00000000\r\n\"DirectOnly\"=dword:00000000\r\n"
         "\"ServiceOnly\"=dword:00000000\r\n",
         noMechanism},
        {"value of another type",
         "\"PromptOnClear\"=dword:00000000\r\n\"ShowDirectories\"=\"0\"\r\n"
         "\"DirectThenService\"=dword:00000000\r\n",
         stopsAtText},
        {"any non-zero value is on",
         "\"DirectOnly\"=dword:00000002\r\n\"ServerRelative\"=dword:ffffffff\r\n", nonZeroIsOn},
    };
    const std::string complete =
        "\"PromptOnClear\"=dword:00000001\r\n\"ShowDirectories\"=dword:00000001\r\n"
        "\"DirectThenService\"=dword:00000001\r\n\"DirectOnly\"=dword:00000000\r\n"
        "\"ServiceOnly\"=dword:00000000\r\n\"ClientRelative\"=dword:00000001\r\n"
        "\"ServerRelative\"=dword:00000000\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case overrides part of a complete set; later lines of a hive win.
        WriteHive(Hive(Section("Options") + complete + c.values));
        OptionsState options;
        m_store->LoadOptions(options);
        EXPECT_TRUE(OptionsEqual(options, c.expected));
    }
}

TEST_F(SettingsStoreTest, OptionValueTwoIsSavedBackAsOne) {
    WriteHive(Hive(Section("Options") + "\"PromptOnClear\"=dword:00000002\r\n"));
    OptionsState options;
    options.promptOnClear = false;
    m_store->LoadOptions(options);
    EXPECT_TRUE(options.promptOnClear);
    m_store->SaveOptions(options);
    EXPECT_EQ(StoredInteger("Options", "PromptOnClear"), 1);
}

TEST_F(SettingsStoreTest, AutoRefreshKeepsItsValueWhenTheStoredOneIsMissingOrOutOfRange) {
    struct Case {
        const char* name;
        std::string values;
        int32_t expected;
    };
    const Case cases[] = {
        {"missing", "", 30},
        {"off", "\"AutoRefresh\"=dword:00000000\r\n", 0},
        {"an hour", "\"AutoRefresh\"=dword:00000e10\r\n", 3600},
        {"too long", "\"AutoRefresh\"=dword:00000e11\r\n", 30},
        {"negative", "\"AutoRefresh\"=dword:ffffffff\r\n", 30},
        {"text", "\"AutoRefresh\"=\"5\"\r\n", 30},
    };
    for (const Case& c : cases) {
        WriteHive(Hive(Section("Options") + c.values));
        auto registry = MakeRegistry();
        SettingsStore store(*registry);
        int32_t seconds = 30;
        store.LoadAutoRefresh(seconds);
        EXPECT_EQ(seconds, c.expected) << c.name;
    }
    m_store->SaveAutoRefresh(90);
    EXPECT_EQ(StoredInteger("Options", "AutoRefresh"), 90);
}

// Read by the command line too, which must leave the settings as they are.
TEST_F(SettingsStoreTest, ServiceCodePageIsTextBesideTheOptionsAndOnlyRead) {
    const struct {
        const char* name;
        std::string values;
        const char* expected;
    } cases[] = {
        {"missing", "", ""},
        {"set", "\"ServiceCodePage\"=\"UTF-8\"\r\n", "UTF-8"},
        {"a number", "\"ServiceCodePage\"=dword:000004e4\r\n", ""},
    };
    for (const auto& c : cases) {
        WriteHive(Hive(Section("Options") + c.values));
        auto registry = MakeRegistry();
        EXPECT_EQ(SettingsStore(*registry).LoadServiceCodePage(), c.expected) << c.name;
    }
    WriteHive(Hive(""));
    EXPECT_EQ(m_store->LoadServiceCodePage(), "");
    EXPECT_FALSE(KeyExists("Options"));
}

TEST_F(SettingsStoreTest, DefaultsStopAtTheFirstMissingValue) {
    struct Case {
        const char* name;
        std::string values;
        DefaultsState expected;
    };
    const DefaultsState builtIn{291, 219, 550, 811, 200, 0};
    DefaultsState leftOnly = builtIn;
    leftOnly.windowLeft = 10;
    const std::vector<Case> cases = {
        {"first run flag without a position",
         "\"WindowTop\"=dword:00000005\r\n\"DoneFirstRun\"=dword:00000001\r\n", builtIn},
        {"no top",
         "\"WindowLeft\"=dword:0000000a\r\n\"WindowHeight\"=dword:00000064\r\n"
         "\"DoneFirstRun\"=dword:00000001\r\n",
         leftOnly},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteHive(Hive(Section("Defaults") + c.values));
        DefaultsState defaults = builtIn;
        m_store->LoadDefaults(defaults);
        EXPECT_TRUE(DefaultsEqual(defaults, c.expected));
    }
}

TEST_F(SettingsStoreTest, ShorterSaveLeavesOlderEntriesBehind) {
    m_store->SaveFavourites({"a|||1", "b|||2", "c|||3", "d|||4", "e|||5"});
    m_store->SaveFavourites({"x|||9", "y|||8"});

    EXPECT_EQ(StoredInteger("Favourites", "NumFavourites"), 2);
    RegistryKey key(*m_registry);
    ASSERT_EQ(key.Open(kUser, kRoot + "\\Favourites", kKeyRead), kRegSuccess);
    Strings stored;
    for (int i = 0; i < 5; ++i) {
        std::string text;
        ASSERT_EQ(ReadRegistryText(key, "Favourite" + std::to_string(i), &text), kRegSuccess);
        stored.push_back(text);
    }
    EXPECT_EQ(stored, (Strings{"x|||9", "y|||8", "c|||3", "d|||4", "e|||5"}));
    Strings favourites;
    m_store->LoadFavourites(favourites);
    EXPECT_EQ(favourites, (Strings{"x|||9", "y|||8"}));
}

TEST_F(SettingsStoreTest, DamagedHiveGivesBuiltInValuesAndIsKept) {
    const std::string damaged = "REGEDIT4\r\n" + Section("Options") + "\"PromptOnClear\"=dword:";
    WriteHive(damaged);
    auto registry = MakeRegistry();
    SettingsStore store(*registry);
    OptionsState options;
    options.promptOnClear = true;
    store.LoadOptions(options);
    EXPECT_TRUE(OptionsEqual(options, OptionsState{}));

    bool kept = false;
    for (const auto& entry : std::filesystem::directory_iterator(Dir())) {
        kept = kept || ReadText(entry.path()) == damaged;
    }
    EXPECT_TRUE(kept);
}

// The order of calls, the access masks and the stop at the first failure, on the fake.
TEST(SettingsStoreCallsTest, ReadOnlyLoadOfAMissingKeyStopsAtItsCount) {
    FakeRegistry registry;
    SettingsStore store(registry);
    Strings favourites = {"old"};
    store.LoadFavourites(favourites);
    EXPECT_TRUE(favourites.empty());
    EXPECT_EQ(registry.calls,
              (Strings{"Open HKEY_CURRENT_USER\\Software\\Morrowfen\\Pellquin\\Favourites 0x20019",
                       "Query NumFavourites"}));
    EXPECT_FALSE(registry.HasKey(kUser, kRoot + "\\Favourites"));
}

TEST(SettingsStoreCallsTest, OperationsOpenWithTheirMaskAndAlwaysClose) {
    FakeRegistry registry;
    SettingsStore store(registry);
    OptionsState options;
    DefaultsState defaults;
    Strings list;
    store.LoadOptions(options);
    store.LoadDefaults(defaults);
    store.LoadPickList(list);
    store.SaveOptions(options);
    store.SaveDefaults(defaults);
    store.SaveFavourites({"a|||b"});
    store.SavePickList({"C:\\"});

    Strings opens;
    for (const std::string& call : registry.calls) {
        if (call.rfind("Open", 0) == 0 || call.rfind("Create", 0) == 0) {
            opens.push_back(call.substr(0, call.find(' ')) + call.substr(call.rfind(' ')));
        }
    }
    EXPECT_EQ(opens, (Strings{"Create 0xf003f", "Create 0xf003f", "Open 0x20019", "Create 0xf003f",
                              "Create 0xf003f", "Create 0xf003f", "Create 0xf003f"}));
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST(SettingsStoreCallsTest, SaveStopsAtTheFirstFailedWrite) {
    FakeRegistry registry;
    registry.failures["Set DirectOnly"] = kRegAccessDenied;
    SettingsStore store(registry);
    OptionsState options;
    options.promptOnClear = false;
    store.SaveOptions(options);

    const std::string options_key = kRoot + "\\Options";
    EXPECT_EQ(registry.calls,
              (Strings{"Create HKEY_CURRENT_USER\\Software\\Morrowfen\\Pellquin\\Options 0xf003f",
                       "Set PromptOnClear", "Set ShowDirectories", "Set DirectThenService",
                       "Set DirectOnly", "Close"}));
    EXPECT_EQ(registry.GetDword(kUser, options_key, "PromptOnClear"), 0u);
    EXPECT_EQ(registry.GetDword(kUser, options_key, "DirectThenService"), 1u);
    EXPECT_FALSE(registry.GetDword(kUser, options_key, "DirectOnly"));
}

TEST(SettingsStoreCallsTest, FailedOpenMakesTheFirstAccessFail) {
    FakeRegistry registry;
    registry.PutDword(kUser, kRoot + "\\Defaults", "WindowLeft", 5);
    registry.failures["Create HKEY_CURRENT_USER\\Software\\Morrowfen\\Pellquin\\Defaults"] =
        kRegAccessDenied;
    SettingsStore store(registry);
    DefaultsState defaults;
    store.LoadDefaults(defaults);
    store.SaveDefaults(DefaultsState{1, 2, 3, 4, 5, 1});

    EXPECT_EQ(defaults.windowLeft, 291);
    EXPECT_EQ(registry.GetDword(kUser, kRoot + "\\Defaults", "WindowLeft"), 5u);
    EXPECT_EQ(registry.calls.size(), 4u);  // each: the create, then one refused access
}

TEST(UpdatePickListTest, KeepsTheMostRecentTenAndMovesRepeatsToTheTop) {
    Strings pickList;
    for (int i = 1; i <= 11; ++i) {
        UpdatePickList(pickList, "\\\\srv\\p" + std::to_string(i));
    }
    ASSERT_EQ(pickList.size(), 10u);
    EXPECT_EQ(pickList.front(), "\\\\srv\\p11");
    EXPECT_EQ(pickList.back(), "\\\\srv\\p2");

    const std::string fifth = "\\\\srv\\p5";
    UpdatePickList(pickList, fifth);
    EXPECT_EQ(pickList,
              (Strings{fifth, "\\\\srv\\p11", "\\\\srv\\p10", "\\\\srv\\p9", "\\\\srv\\p8",
                       "\\\\srv\\p7", "\\\\srv\\p6", "\\\\srv\\p4", "\\\\srv\\p3", "\\\\srv\\p2"}));
}

TEST(UpdatePickListTest, ComparesByteForByteAndTrimsLongListsOneAtATime) {
    struct Case {
        Strings before;
        std::string path;
        Strings after;
    };
    Strings twelve;
    for (int i = 0; i < 12; ++i) {
        twelve.push_back(std::to_string(i));
    }
    Strings twelveNew = twelve;
    twelveNew.insert(twelveNew.begin(), "new");
    twelveNew.pop_back();
    Strings twelveMoved = {"7", "0", "1", "2", "3", "4", "5", "6", "8", "9", "10", "11"};
    const std::vector<Case> cases = {
        {{"C:\\Data"}, "c:\\data", {"c:\\data", "C:\\Data"}},
        {{"C:\\Data"}, "C:\\Data\\", {"C:\\Data\\", "C:\\Data"}},
        {{"a", "b", "b"}, "b", {"b", "a", "b"}},
        {twelve, "new", twelveNew},  // a loaded list longer than ten drops its last entry
        {twelve, "7", twelveMoved},  // a move never trims
    };
    for (const Case& c : cases) {
        Strings pickList = c.before;
        UpdatePickList(pickList, c.path);
        EXPECT_EQ(pickList, c.after) << c.path;
    }
}

}  // namespace
}  // namespace pellquin::test
