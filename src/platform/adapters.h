#pragma once

#include <memory>
#include <string>

#include "platform/http_client.h"
#include "platform/net_file_api.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "platform/url_launcher.h"

namespace pellquin {

// The real adapters of this operating system. Each program makes its own.

// Who the network file-management calls authenticate as. On Linux: the smbclient-style
// authentication file `credentialsFile` when one is named; otherwise the user's Kerberos
// ticket when there is one, else the default file under the user's config directory (used
// when present). Windows uses the logon session.
struct NetCredentials {
    std::string credentialsFile;
};

// Returns nullptr and sets *error to a text for the user when the adapter cannot start
// (for example, a credentials file that others can read). On Linux at most one lives in a
// process at a time (Samba's client has one context per process): destroy it before making
// another, and call it from one thread.
std::unique_ptr<NetFileApi> MakeNetFileApi(const NetCredentials& credentials, std::string* error);
std::unique_ptr<UniversalNames> MakeUniversalNames();
std::unique_ptr<SystemInfo> MakeSystemInfo();
// On Linux: text hives under $XDG_CONFIG_HOME/pellquin (default ~/.config/pellquin).
std::unique_ptr<Registry> MakeRegistry();
// libcurl on every platform; defined in the pellquin_http library, which links it.
std::unique_ptr<HttpClient> MakeHttpClient();
// xdg-open on Linux, ShellExecuteA on Windows.
std::unique_ptr<UrlLauncher> MakeUrlLauncher();

}  // namespace pellquin
