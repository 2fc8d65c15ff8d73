#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellquin::test {

// The test service's one option of its own, "--canned-engine ROWS[:DELAY_MS]": answer from a
// CannedNetFileApi of ROWS open files, each query taking DELAY_MS, instead of the network
// calls.
struct CannedEngineOption {
    bool given = false;
    uint32_t rows = 0;
    uint32_t delayMs = 0;
};

// Takes the option and its value out of *args, leaving the service's own arguments in their
// order. False with *error for a missing or bad value.
bool TakeCannedEngineOption(std::vector<std::string>* args, CannedEngineOption* option,
                            std::string* error);

}  // namespace pellquin::test
