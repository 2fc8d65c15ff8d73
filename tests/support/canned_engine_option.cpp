#include "canned_engine_option.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>

namespace pellquin::test {
namespace {

// Decimal digits only, at most `max`.
bool ParseCount(const std::string& text, unsigned long long max, unsigned long long* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    *value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && *value <= max;
}

// "ROWS" or "ROWS:DELAY_MS".
bool ParseCanned(const std::string& text, CannedEngineOption* option) {
    const size_t colon = text.find(':');
    unsigned long long count = 0;
    unsigned long long delay = 0;
    if (!ParseCount(text.substr(0, colon), 1000000, &count)) {
        return false;
    }
    if (colon != std::string::npos && !ParseCount(text.substr(colon + 1), 600000, &delay)) {
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
    size_t i = 0;
    while (i < args->size()) {
        if ((*args)[i] != "--canned-engine") {
            ++i;
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
        const auto at = args->begin() + static_cast<std::ptrdiff_t>(i);
        args->erase(at, at + 2);
    }
    return true;
}

}  // namespace pellquin::test
