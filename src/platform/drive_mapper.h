#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pellquin {

// Connects a network share as a drive of this machine ("Map Drive").
// Abstract so that the drive tree's button can be tested without touching the system.
class DriveMapper {
public:
    virtual ~DriveMapper() = default;

    // Shows the system's own map-drive dialog, owned by the native window `ownerWindow`,
    // and returns when it closes, whatever the user chose. Returns false at once when the
    // system has no such dialog; the caller then asks for the share and calls Map.
    virtual bool ShowSystemDialog(uintptr_t ownerWindow) = 0;

    // What this machine lacks for Map, as a sentence for the user; empty when Map can run.
    virtual std::string Missing() = 0;

    // Connects `share` ("\\server\share"). Returns an empty text on success, else the reason.
    virtual std::string Map(const std::string& share) = 0;
};

// On Linux shares are mounted through GVfs ("gio mount"), as the user of the smbclient-style
// authentication file `credentialsFile` (empty: the default file; none: anonymous).
std::unique_ptr<DriveMapper> MakeDriveMapper(const std::string& credentialsFile);

}  // namespace pellquin
