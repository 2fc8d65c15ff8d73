#include "platform/smb_url.h"

#include <algorithm>

#include "platform/hex_digit.h"

namespace pellquin {

std::string PercentDecoded(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::string> UncNameFromSmbUrl(const std::string& text) {
    const std::string scheme = "smb://";
    if (text.size() < scheme.size()) {
        return std::nullopt;
    }
    for (size_t i = 0; i < scheme.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != scheme[i]) {
            return std::nullopt;
        }
    }
    const size_t hostStart = scheme.size();
    const size_t pathStart = std::min(text.find('/', hostStart), text.size());
    std::string authority = text.substr(hostStart, pathStart - hostStart);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        authority.erase(0, at + 1);
    }
    // A port follows the last ':' unless the host is a bracketed IPv6 address.
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        authority.erase(colon);
    }
    const std::string server = PercentDecoded(authority);
    if (server.empty()) {
        return std::nullopt;
    }
    std::string unc = "\\\\" + server;
    size_t start = pathStart;
    while (start < text.size()) {
        const size_t end = std::min(text.find('/', start + 1), text.size());
        const std::string part = text.substr(start + 1, end - start - 1);
        if (!part.empty()) {
            unc += "\\" + PercentDecoded(part);
        }
        start = end;
    }
    return unc;
}

std::string PathFromTypedText(const std::string& text) {
    if (const auto unc = UncNameFromSmbUrl(text)) {
        return *unc;
    }
    return text;
}

}  // namespace pellquin
