#pragma once

#include <string>

namespace pellquin {

// Makes the process run as `user` (its own group and supplementary groups) for good, so that
// a service started with full rights keeps none once it has bound its port and read its
// credentials. Returns false and sets *error when the user is unknown, the change fails, or
// the old rights could still be taken back. The change holds for every thread of the process
// (the C library sets the ids process-wide). On Windows the Service Control Manager sets the
// account a service runs as, and this always fails.
bool DropToUser(const std::string& user, std::string* error);

}  // namespace pellquin
