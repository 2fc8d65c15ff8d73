#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pellquin {

// The options of `pellquin` that answer on the terminal instead of opening the window:
// --help (the usage, naming the help pages' contents file that `helpFile` gives) and
// --version. Returns the exit status when `arguments` (argv[1..]) asks for one of them, after
// writing the answer to `out`; nullopt when the window is to open. Needs no display, so a
// machine without one can ask.
std::optional<int> AnswerInformationOptions(const std::vector<std::string>& arguments,
                                            const std::function<std::string()>& helpFile,
                                            std::ostream& out);

}  // namespace pellquin
