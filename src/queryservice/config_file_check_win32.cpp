#include "queryservice/config_file_check.h"

#include "platform/system_directory.h"

namespace pellquin {

// Who may change a file on Windows is a matter of its access control list, which the
// installer sets on the service's directory; the mode bits POSIX checks do not exist.
std::string ConfigFileProblem(const std::string& /*path*/) {
    return std::string();
}

std::string DefaultConfigFile() {
    const std::string directory = SystemDirectory();
    return directory.empty() ? std::string() : directory + "\\PellquinService.conf";
}

}  // namespace pellquin
