#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pellquin {

// The options of `pellquin` that answer on the terminal instead of opening the window:
// --help (the usage, naming `helpFile`, the help pages' contents file) and --version.
// Returns the exit status when `arguments` (argv[1..]) asks for one of them, after writing
// the answer to `out`; nullopt when the window is to open. A path to check is not an option,
// so "pellquin --version" is the only way to ask for the version, and the "--" separator
// makes any later text a path.
std::optional<int> AnswerInformationOptions(const std::vector<std::string>& arguments,
                                            const std::string& helpFile, std::ostream& out);

}  // namespace pellquin
