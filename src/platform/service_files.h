#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pellquin {

// Where installing the query service on a machine puts it, for systems whose installation
// does not go through the Windows system directory and Admin$ share (see OwnPlacement).
struct ServicePlacement {
    // Where the program goes, as this machine names it: a local path, or for a remote machine
    // its name, ":" and the path there ("root@host:/usr/local/lib/pellquin/PellquinService").
    std::string copyDestination;
    // The program as the target machine names it, for the registration.
    std::string executablePath;
    // The system's package has installed the program there already: nothing is copied.
    bool packaged = false;
};

// The files that installing the query service and handling its log touch. Paths are local
// paths or UNC paths "\\server\share\..." (reached over SMB on Linux). Abstract so that the
// service-control logic is tested without a file system or remote machines.
class ServiceFiles {
public:
    virtual ~ServiceFiles() = default;

    // This machine's system directory (the service directory; on Linux the folder of the
    // service's log), without a trailing separator; empty when the system cannot tell.
    virtual std::string SystemDirectory() = 0;

    // The directory of the running program, with its trailing separator.
    virtual std::string ProgramDirectory() = 0;

    // File name of the query service program: "PellquinService.exe" on Windows.
    virtual std::string ServiceProgramName() = 0;

    // Copies a file, replacing one at `destination`. Returns 0 or the system error code.
    virtual uint32_t Copy(const std::string& source, const std::string& destination) = 0;

    // True when `path` names a file that can be reached; a directory is not a file.
    virtual bool IsFile(const std::string& path) = 0;

    // Deletes a file; the outcome is not reported.
    virtual void Delete(const std::string& path) = 0;

    // True when the places below replace the system directory and the Admin$ share of the
    // Windows installation; then no share lookup is made.
    virtual bool OwnPlacement() { return false; }
    // Where the program goes on `machine` (as typed at connection; empty: this machine).
    virtual ServicePlacement Placement(const std::string& /*machine*/) { return {}; }
    // The service's log on `machine`, in the form Copy, IsFile and Delete take.
    virtual std::string LogPath(const std::string& /*machine*/) { return std::string(); }
    // Writes the service's configuration on `machine` when it has none, never replacing one;
    // *notes receives the lines for the message log (what was written or kept, what the
    // administrator still has to provide). Returns 0 or the system error code.
    virtual uint32_t Configure(const std::string& /*machine*/,
                               std::vector<std::string>* /*notes*/) {
        return 0;
    }
    // The transport's own words for the last failed call (ssh's or the remote command's
    // standard error), made safe to show; empty when there are none.
    virtual std::string LastFailureDetail() { return std::string(); }
};

// This system's service files. On Linux, paths "MACHINE:/path" are reached over ssh to
// MACHINE (BatchMode, as the user the name gives), and UNC paths through libsmbclient as the
// user of the smbclient-style credentials file `credentialsFile` (empty: the default file).
std::unique_ptr<ServiceFiles> MakeServiceFiles(const std::string& credentialsFile);

}  // namespace pellquin
