#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pellquin {

// One entry of a level-3 open-file enumeration. Texts are UTF-8 on Linux and in the ANSI
// code page on Windows, as the rest of the program's strings.
struct OpenFileEntry {
    uint32_t id = 0;
    uint32_t permissions = 0;
    uint32_t numLocks = 0;
    std::string pathName;
    std::string userName;
};

constexpr uint32_t NET_OK = 0;
constexpr uint32_t NET_MORE_DATA = 234;

// A server's network file-management interface (share info, open-file enumeration and
// close). Abstract so that the engine runs against a scripted server in tests.
// Every call returns a Win32 status code: 0 for success, otherwise the failure's code.
class NetFileApi {
public:
    virtual ~NetFileApi() = default;

    // Level-2 share info. `server` is the bare name (no leading backslashes). On success
    // *folder holds the share's folder in the server's own form, e.g. "D:\Data".
    virtual uint32_t ShareGetInfo(const std::string& server, const std::string& share,
                                  std::string* folder) = 0;

    // One round of a level-3 enumeration asking for the files under `basePath` (an empty base
    // path: every open file). `server` is the bare name, or nullopt for this machine. Returns
    // 0 when this round ends the listing, NET_MORE_DATA when the caller must call again with
    // the same *resumeHandle, or a failure code (then nothing is appended). The entries of the
    // round are appended to *entries in the server's order, as the server sent them: some
    // servers ignore the base path, so the caller keeps only the entries at or below
    // ReportedBasePath.
    virtual uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                              uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) = 0;

    // `basePath` of a FileEnum for `server` in the form that server writes the paths it
    // reports. An adapter that rewrites the base path before sending it (a path of this
    // machine as its file server names it) gives the rewritten form; the others the text
    // itself.
    virtual std::string ReportedBasePath(const std::optional<std::string>& /*server*/,
                                         const std::string& basePath) {
        return basePath;
    }

    // `path` (below `share`, '\' separators) with each folder and file name spelled as the
    // server itself has it, when the server resolves the path as typed (a case-insensitive
    // share: "REPORTS" names the folder "Reports"); `path` unchanged when it does not exist
    // there, cannot be looked at, or the server's spelling cannot be told. `server` is the
    // bare name; empty: this machine. It may make network calls, with the same thread rules
    // as the calls above.
    virtual std::string NameOnServer(const std::string& /*server*/, const std::string& /*share*/,
                                     const std::string& path) {
        return path;
    }

    // Whether the paths `server` (nullopt: this machine) reports carry every name in its own
    // exact spelling, so that only an exact match of the base path (after NameOnServer)
    // names the same folder: Samba's, which may hold "Reports" and "reports" side by side.
    // Windows servers filter by the base path themselves and ignore case.
    virtual bool ReportsExactNames(const std::optional<std::string>& /*server*/) { return false; }

    // Closes one open-file handle. `server` is given as NetFileClose takes it: two
    // backslashes and the name, or nullopt for this machine.
    virtual uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) = 0;
};

// Who the network file-management calls authenticate as. On Linux: the smbclient-style
// authentication file `credentialsFile` when one is named; otherwise the user's Kerberos
// ticket when there is one, else the default file under the user's config directory (used
// when present). Windows uses the logon session.
struct NetCredentials {
    std::string credentialsFile;
    // Leave every credentials file aside (the named and the default one) and go on with the
    // ticket, or with none: for a program that has told the user why a file cannot be used.
    bool withoutFile = false;
};

// This system's network file calls. Returns nullptr and sets *error to a text for the user
// when the adapter cannot start (for example, a credentials file that others can read). On
// Linux at most one lives in a process at a time (Samba's client has one context per
// process): destroy it before making another, and call it from one thread.
std::unique_ptr<NetFileApi> MakeNetFileApi(const NetCredentials& credentials, std::string* error);

}  // namespace pellquin
