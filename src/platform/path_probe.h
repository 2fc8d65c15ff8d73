#pragma once

#include <memory>
#include <string>

namespace pellquin {

// Why a probe could not tell whether a path exists: the server would not let it look.
struct ProbeDoubt {
    enum class Kind {
        None,                 // the probe decided: the path does not exist
        LogonRefused,         // the server refused the logon (wrong or missing user or password)
        AccessDenied,         // the user may not look at the path
        CredentialsUnusable,  // the credentials file could not be used; the server said no
    };
    Kind kind = Kind::None;
    std::string credentialsFile;  // the credentials file that was used or meant; empty: none
    std::string detail;           // what is wrong with that file (CredentialsUnusable)
};

// What the user is told instead of "... Does not appear to be a valid file or directory" when
// the probe could not decide about `path`.
std::string ProbeDoubtText(const std::string& path, const ProbeDoubt& doubt);

// Whether a path the user typed names something that exists, before a check is attempted.
// Abstract so that the main window can be tested without real files or servers.
// Paths are local paths, or UNC paths "\\server\share\..." (on Linux also "//server/share/...").
class PathProbe {
public:
    virtual ~PathProbe() = default;

    // True when a directory search for `path` finds an entry that is not a directory, so a
    // name with wildcards passes when it matches a file.
    virtual bool IsFile(const std::string& path) = 0;

    // True when `path` exists and is a directory; drive roots and share roots included.
    virtual bool IsDirectory(const std::string& path) = 0;

    // Why the last IsFile or IsDirectory that answered false could not decide (Kind::None
    // when it did). Probes that always decide keep this one.
    virtual ProbeDoubt LastDoubt() const { return {}; }
};

// The probe of this operating system. UNC paths are looked at over SMB as the user named by
// the smbclient-style authentication file `credentialsFile` (empty: the default file), the
// same one the network file-management adapter uses.
std::unique_ptr<PathProbe> MakePathProbe(const std::string& credentialsFile);

}  // namespace pellquin
