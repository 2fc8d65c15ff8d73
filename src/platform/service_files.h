#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pellquin {

// The files that installing the query service and handling its log touch. Paths are local
// paths or UNC paths "\\server\share\..." (reached over SMB on Linux). Abstract so that the
// service-control logic is tested without a file system or remote machines.
class ServiceFiles {
public:
    virtual ~ServiceFiles() = default;

    // This machine's system directory (the service directory), without a trailing
    // separator; empty when the system cannot tell.
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
};

// This system's service files. On Linux, UNC paths (copies, the log) are reached through
// libsmbclient as the user of the smbclient-style credentials file `credentialsFile` (empty:
// the default file).
std::unique_ptr<ServiceFiles> MakeServiceFiles(const std::string& credentialsFile);

}  // namespace pellquin
