#pragma once

#include <memory>
#include <string>

#include "platform/log_viewer.h"
#include "platform/service_files.h"
#include "platform/service_manager.h"

namespace pellquin {

// The real service-control adapters of this operating system. On Linux the manager is
// systemd over D-Bus (a remote machine over sd-bus's SSH transport, "user@host" allowed),
// and UNC paths (the remote unit file, copies, the log) are reached through libsmbclient as the
// user of the smbclient-style credentials file `credentialsFile` (empty: the default file).
std::unique_ptr<ServiceManager> MakeServiceManager(const std::string& credentialsFile);
std::unique_ptr<ServiceFiles> MakeServiceFiles(const std::string& credentialsFile);
std::unique_ptr<LogViewer> MakeLogViewer();

}  // namespace pellquin
