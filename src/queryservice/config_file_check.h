#pragma once

#include <string>

namespace pellquin {

// Why the service must not trust the configuration file at `path`, or empty when it may. The
// file chooses the server the service acts on, its credentials and who may ask, so only
// the administrator may be able to change it: on POSIX the file must belong to root or to
// the service's own user, and neither its group nor others may write it. A file that
// cannot be examined is no problem here; reading it reports that.
std::string ConfigFileProblem(const std::string& path);

// The configuration file read when none is named: /etc/pellquin/PellquinService.conf on
// POSIX; on Windows "PellquinService.conf" in the system directory, beside the installed
// service and its log, since the Service Control Manager starts it without arguments.
std::string DefaultConfigFile();

}  // namespace pellquin
