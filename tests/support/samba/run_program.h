#pragma once

#include <string>
#include <vector>

namespace pellquin::test {

// What a finished program left behind.
struct ProgramResult {
    int exitCode = -1;  // -1 when it could not be started or was killed by a signal
    std::string out;
    std::string err;
};

// Runs argv[0] (looked up in PATH) with the given arguments, stdin from /dev/null, and waits
// for it, collecting stdout and stderr separately.
ProgramResult RunProgram(const std::vector<std::string>& argv);

}  // namespace pellquin::test
