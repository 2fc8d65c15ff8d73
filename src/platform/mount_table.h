#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pellquin {

// One line of /proc/self/mountinfo, with its escapes (\040 and the like) decoded.
struct MountEntry {
    std::string root;  // the folder of the mounted filesystem shown at mountPoint ("/" mostly)
    std::string mountPoint;
    std::string fsType;
    std::string source;  // for cifs/smb3: "//server/share[/prefix]"
    std::string device;  // "major:minor" of the mounted filesystem
};

// Parses the text of /proc/self/mountinfo; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(const std::string& text);

// The UNC name ("\\server\share\rest") of an absolute path with '/' separators, when it lies
// under a cifs/smb3 mount (the deepest mount point that contains it wins) or inside a GVfs
// "smb-share:server=S,share=T" directory; nullopt for a local path.
std::optional<std::string> UncNameForMountedPath(const std::string& path,
                                                 const std::vector<MountEntry>& mounts);

// A path given as "//server/share/rest" or "\\server\share\rest" in UNC form with
// backslashes; nullopt when it is not of that form.
std::optional<std::string> UncNameFromSlashes(const std::string& path);

}  // namespace pellquin
