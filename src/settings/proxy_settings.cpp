#include "settings/proxy_settings.h"

#include <limits>

#include "settings/registry_values.h"

namespace pellquin {

void LoadProxySettings(Registry& registry, ProxySettings& settings) {
    RegistryKey key(registry);
    // A key that did not open fails the first read, which ends the load as any failure does.
    key.Open(RegistryRoot::CurrentUser, kProxySettingsKey, kKeyRead);
    if (ReadRegistryInteger(key, "ProxyEnabled", &settings.ProxyEnabled) != kRegSuccess) {
        return;
    }
    if (ReadRegistryText(key, "ProxyServer", &settings.ProxyServer) != kRegSuccess) {
        return;
    }
    if (ReadRegistryInteger(key, "ProxyPort", &settings.ProxyPort) != kRegSuccess) {
        return;
    }
    if (ReadRegistryText(key, "ProxyUser", &settings.ProxyUser) != kRegSuccess) {
        return;
    }
    ReadRegistryText(key, "ProxyPassword", &settings.ProxyPassword);
}

void SaveProxySettings(Registry& registry, const ProxySettings& settings) {
    RegistryKey key(registry);
    if (key.Create(RegistryRoot::CurrentUser, kProxySettingsKey, kKeyWrite) != kRegSuccess) {
        return;
    }
    if (WriteRegistryInteger(key, "ProxyEnabled", settings.ProxyEnabled) != kRegSuccess) {
        return;
    }
    if (WriteRegistryText(key, "ProxyServer", settings.ProxyServer) != kRegSuccess) {
        return;
    }
    if (WriteRegistryInteger(key, "ProxyPort", settings.ProxyPort) != kRegSuccess) {
        return;
    }
    if (WriteRegistryText(key, "ProxyUser", settings.ProxyUser) != kRegSuccess) {
        return;
    }
    WriteRegistryText(key, "ProxyPassword", settings.ProxyPassword);
}

int32_t ConvertPortText(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                   : std::numeric_limits<int32_t>::max();
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) {
            value = limit;
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace pellquin
