#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace pellquin {

// Under HKEY_CURRENT_USER; a sibling of the program's own settings key.
inline constexpr const char kProxySettingsKey[] = "Software\\Morrowfen\\ProxySettings";

// The SOCKS 5 proxy of the update check. Members carry the names of their registry values.
struct ProxySettings {
    int32_t ProxyEnabled = 0;  // 0 off, anything else on
    std::string ProxyServer;
    int32_t ProxyPort = 0;
    std::string ProxyUser;  // empty: no authentication, whatever the password
    std::string ProxyPassword;
};

// Reads the key (never creating it) in the order ProxyEnabled, ProxyServer, ProxyPort,
// ProxyUser, ProxyPassword, each straight into `settings`. A key that does not open, or a
// missing or mistyped integer, or a mistyped text ends the load there: fields read before
// keep their new values, the rest their old ones. A missing text reads as "". Silent.
void LoadProxySettings(Registry& registry, ProxySettings& settings);

// Writes the five values in the same order, creating the key when missing; the password in
// plain text. The first failure ends the save silently; values written before stay.
void SaveProxySettings(Registry& registry, const ProxySettings& settings);

// The port as typed: leading blanks skipped, an optional sign, then the decimal digits up to
// the first other character; 0 when there are none. Never fails; values beyond the 32-bit
// range stop at its limit.
int32_t ConvertPortText(const std::string& text);

}  // namespace pellquin
