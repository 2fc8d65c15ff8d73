#pragma once

#include <memory>
#include <string>

namespace pellquin {

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
};

// The probe of this operating system. UNC paths are looked at over SMB as the user named by
// the smbclient-style authentication file `credentialsFile` (empty: the default file), the
// same one the network file-management adapter uses.
std::unique_ptr<PathProbe> MakePathProbe(const std::string& credentialsFile);

}  // namespace pellquin
