#pragma once

#include <string>

namespace pellquin {

// Where the help file of the program at `executable` (its full path) lies. Beside it, as
// `fileName` relative to the program's folder, in the build tree and in a Windows
// installation; for a program installed in a folder named "bin", in the prefix's
// share/pellquin/help/ folder, where the packages put the pages (the first folder of
// `fileName`, the pages' folder beside the program, gives way to it). Any prefix works, since
// only the executable's own path decides.
std::string HelpFileFor(const std::string& executable, const std::string& fileName);

}  // namespace pellquin
