#include "platform/system_directory.h"

#include <cstdlib>

namespace pellquin {

std::string SystemDirectory() {
    const char* overridden = std::getenv("PELLQUIN_SYSTEM_DIR");
    if (overridden != nullptr && *overridden != '\0') {
        return overridden;
    }
    return "/var/lib/pellquin";
}

}  // namespace pellquin
