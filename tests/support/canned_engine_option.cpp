#include "canned_engine_option.h"

#include <cerrno>
#include <cstdlib>

namespace pellquin::test {
namespace {

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || parsed > max) {
        return false;
    }
    *value = parsed;
    return true;
}

// "ROWS" or "ROWS:DELAY_MS".
bool ParseCanned(const std::string& text, CannedEngineOption* option) {
    const size_t colon = text.find(':');
    unsigned long long count = 0;
    unsigned long long delay = 0;
    if (!ParseUnsigned(text.substr(0, colon), 1000000, &count)) {
        return false;
    }
    if (colon != std::string::npos && !ParseUnsigned(text.substr(colon + 1), 600000, &delay)) {
        return false;
    }
    option->given = true;
    option->rows = static_cast<uint32_t>(count);
    option->delayMs = static_cast<uint32_t>(delay);
    return true;
}

}  // namespace

bool TakeCannedEngineOption(std::vector<std::string>* args, CannedEngineOption* option,
                            std::string* error) {
    for (size_t i = 0; i < args->size(); ++i) {
        if ((*args)[i] != "--canned-engine") {
            continue;
        }
        if (i + 1 >= args->size() || (*args)[i + 1].empty()) {
            *error = "--canned-engine needs a value";
            return false;
        }
        const std::string value = (*args)[i + 1];
        if (!ParseCanned(value, option)) {
            *error = "bad value for --canned-engine '" + value + "'";
            return false;
        }
        args->erase(args->begin() + static_cast<std::ptrdiff_t>(i),
                    args->begin() + static_cast<std::ptrdiff_t>(i) + 2);
        --i;
    }
    return true;
}

}  // namespace pellquin::test
