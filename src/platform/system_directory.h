#pragma once

#include <string>

namespace pellquin {

// The directory that holds the installed query service program and its log "Pellquin.log":
// the Windows system directory, or /var/lib/pellquin on Linux (PELLQUIN_SYSTEM_DIR, when set
// and not empty, replaces it so that tests never touch the machine's own). Empty when the
// system cannot tell.
std::string SystemDirectory();

}  // namespace pellquin
