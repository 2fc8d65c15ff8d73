#include "query/system_error_text.h"

namespace pellquin {

std::string SystemErrorText(SystemInfo& system, uint32_t code) {
    std::string text = system.ErrorMessage(code);
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c > ' ' && c != '.' && c != 0x7f) {
            break;
        }
        text.pop_back();
    }
    return text;
}

std::string FailureText(SystemInfo& system, uint32_t code) {
    const std::string text = SystemErrorText(system, code);
    return text.empty() ? "Error " + std::to_string(code) : text;
}

}  // namespace pellquin
