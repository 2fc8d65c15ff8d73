#include "platform/process_identity.h"

namespace pellquin {

bool DropToUser(const std::string& /*user*/, std::string* error) {
    *error = "on Windows the Service Control Manager sets the account the service runs as";
    return false;
}

}  // namespace pellquin
