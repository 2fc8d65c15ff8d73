#include "settings/proxy_settings.h"

#include <limits>

#include "fake_registry.h"
#include "hive_fixture.h"

namespace pellquin::test {
namespace {

const std::string kSection = "[HKEY_CURRENT_USER\\Software\\Morrowfen\\ProxySettings]\r\n";

ProxySettings Earlier() {
    ProxySettings settings;
    settings.ProxyEnabled = 0;
    settings.ProxyServer = "old.host";
    settings.ProxyPort = 1;
    settings.ProxyUser = "olduser";
    settings.ProxyPassword = "oldpass";
    return settings;
}

std::string Describe(const ProxySettings& s) {
    return std::to_string(s.ProxyEnabled) + "|" + s.ProxyServer + "|" +
           std::to_string(s.ProxyPort) + "|" + s.ProxyUser + "|" + s.ProxyPassword;
}

// Loads and saves over the real Linux hive in a private config directory.
class ProxySettingsTest : public HiveTest {};

TEST_F(ProxySettingsTest, LoadStopsAtTheFirstValueItCannotRead) {
    const struct {
        const char* name;
        std::string values;  // "" for no key at all
        std::string loaded;
    } cases[] = {
        {"no key", "", "0|old.host|1|olduser|oldpass"},
        {"all five",
         "\"ProxyEnabled\"=dword:00000001\r\n\"ProxyServer\"=\"socks.lan\"\r\n"
         "\"ProxyPort\"=dword:00000438\r\n\"ProxyUser\"=\"ann\"\r\n\"ProxyPassword\"=\"pw\"\r\n",
         "1|socks.lan|1080|ann|pw"},
        {"ProxyEnabled stored as text",
         "\"ProxyEnabled\"=\"1\"\r\n\"ProxyServer\"=\"socks.lan\"\r\n"
         "\"ProxyPort\"=dword:00000438\r\n\"ProxyUser\"=\"ann\"\r\n\"ProxyPassword\"=\"pw\"\r\n",
         "0|old.host|1|olduser|oldpass"},
        {"no ProxyPort",
         "\"ProxyEnabled\"=dword:00000002\r\n\"ProxyServer\"=\"socks.lan\"\r\n"
         "\"ProxyUser\"=\"ann\"\r\n\"ProxyPassword\"=\"pw\"\r\n",
         "2|socks.lan|1|olduser|oldpass"},
        {"no ProxyUser",
         "\"ProxyEnabled\"=dword:00000001\r\n\"ProxyServer\"=\"socks.lan\"\r\n"
         "\"ProxyPort\"=dword:00000438\r\n\"ProxyPassword\"=\"pw\"\r\n",
         "1|socks.lan|1080||pw"},
        {"ProxyServer stored as a number",
         "\"ProxyEnabled\"=dword:00000001\r\n\"ProxyServer\"=dword:00000001\r\n",
         "1|old.host|1|olduser|oldpass"},
        {"expandable text taken as stored",
         "\"ProxyEnabled\"=dword:00000001\r\n"
         "\"ProxyServer\"=hex(2):25,48,25,00\r\n\"ProxyPort\"=dword:00000438\r\n",
         "1|%H%|1080||"},
    };
    for (const auto& c : cases) {
        WriteHive(c.values.empty() ? "REGEDIT4\r\n\r\n"
                                   : "REGEDIT4\r\n\r\n" + kSection + c.values + "\r\n");
        auto registry = MakeRegistry();
        ProxySettings settings = Earlier();
        LoadProxySettings(*registry, settings);
        EXPECT_EQ(Describe(settings), c.loaded) << c.name;
    }
}

TEST_F(ProxySettingsTest, LoadNeverCreatesTheKey) {
    auto registry = MakeRegistry();
    ProxySettings settings;
    LoadProxySettings(*registry, settings);
    RegistryKey key(*registry);
    EXPECT_EQ(key.Open(RegistryRoot::CurrentUser, kProxySettingsKey, kKeyRead), kRegFileNotFound);
}

TEST_F(ProxySettingsTest, SaveWritesFiveTypedValuesThatLoadBack) {
    ProxySettings saved;
    saved.ProxyEnabled = 1;
    saved.ProxyServer = "socks.lan";
    saved.ProxyPort = 8080;
    saved.ProxyUser = "ann";
    saved.ProxyPassword = "pa\"ss";
    SaveProxySettings(*MakeRegistry(), saved);

    EXPECT_NE(
        ReadText(HivePath())
            .find(kSection + "\"ProxyEnabled\"=dword:00000001\r\n\"ProxyServer\"=\"socks.lan\"\r\n"
                             "\"ProxyPort\"=dword:00001f90\r\n\"ProxyUser\"=\"ann\"\r\n"
                             "\"ProxyPassword\"=\"pa\\\"ss\"\r\n"),
        std::string::npos)
        << ReadText(HivePath());
    ProxySettings loaded;
    LoadProxySettings(*MakeRegistry(), loaded);
    EXPECT_EQ(Describe(loaded), Describe(saved));
}

TEST(SaveProxySettings, StopsAtTheFirstFailedWriteKeepingEarlierValues) {
    FakeRegistry registry;
    registry.failures["Set ProxyPort"] = kRegAccessDenied;
    ProxySettings settings = Earlier();
    SaveProxySettings(registry, settings);
    const std::string key = kProxySettingsKey;
    EXPECT_EQ(registry.calls,
              (std::vector<std::string>{
                  "Create HKEY_CURRENT_USER\\Software\\Morrowfen\\ProxySettings 0x20006",
                  "Set ProxyEnabled", "Set ProxyServer", "Set ProxyPort", "Close"}));
    EXPECT_EQ(registry.GetDword(RegistryRoot::CurrentUser, key, "ProxyEnabled"), 0u);
    EXPECT_TRUE(registry.Get(RegistryRoot::CurrentUser, key, "ProxyServer"));
    EXPECT_FALSE(registry.Get(RegistryRoot::CurrentUser, key, "ProxyUser"));
}

TEST(ConvertPortText, TakesTheLeadingNumber) {
    const struct {
        const char* text;
        int32_t port;
    } cases[] = {
        {"8080", 8080},
        {"8080x", 8080},
        {"abc", 0},
        {"", 0},
        {" 42", 42},
        {"42 ", 42},
        {"+7", 7},
        {"-5", -5},
        {"  -", 0},
        {"1 080", 1},
        {"99999999999", std::numeric_limits<int32_t>::max()},
        {"-99999999999", std::numeric_limits<int32_t>::min()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConvertPortText(c.text), c.port) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace pellquin::test
