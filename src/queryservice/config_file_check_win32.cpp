#include "queryservice/config_file_check.h"

namespace pellquin {

// Who may change a file on Windows is a matter of its access control list, which the
// installer sets on the service's directory; the mode bits POSIX checks do not exist.
std::string ConfigFileProblem(const std::string& /*path*/) {
    return std::string();
}

}  // namespace pellquin
