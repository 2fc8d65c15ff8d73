#include "platform/smb_url.h"

#include <algorithm>

#include "platform/hex_digit.h"

namespace pellquin {
namespace {

// Whether `text` starts with `lower` (lower-case ASCII), letters compared in any case: URL
// schemes and host names are case-insensitive.
bool StartsWithIgnoringAsciiCase(const std::string& text, const std::string& lower) {
    if (text.size() < lower.size()) {
        return false;
    }
    for (size_t i = 0; i < lower.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i]) {
            return false;
        }
    }
    return true;
}

bool EqualsIgnoringAsciiCase(const std::string& text, const std::string& lower) {
    return text.size() == lower.size() && StartsWithIgnoringAsciiCase(text, lower);
}

}  // namespace

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
    if (!StartsWithIgnoringAsciiCase(text, scheme)) {
        return std::nullopt;
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
    if (unc.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return unc;
}

std::optional<std::string> LocalPathFromFileUrl(const std::string& text) {
    const std::string scheme = "file:";
    if (!StartsWithIgnoringAsciiCase(text, scheme)) {
        return std::nullopt;
    }
    size_t pathStart = scheme.size();
    if (text.compare(pathStart, 2, "//") == 0) {
        const size_t hostStart = pathStart + 2;
        pathStart = std::min(text.find('/', hostStart), text.size());
        const std::string host = text.substr(hostStart, pathStart - hostStart);
        if (!host.empty() && !EqualsIgnoringAsciiCase(host, "localhost")) {
            return std::nullopt;
        }
    }
    if (pathStart >= text.size() || text[pathStart] != '/' ||
        text.find_first_of("?#", pathStart) != std::string::npos) {
        return std::nullopt;
    }
    std::string path;
    path.reserve(text.size() - pathStart);
    for (size_t i = pathStart; i < text.size(); ++i) {
        if (text[i] != '%') {
            path += text[i];
            continue;
        }
        if (i + 2 >= text.size() || HexDigitValue(text[i + 1]) < 0 ||
            HexDigitValue(text[i + 2]) < 0) {
            return std::nullopt;
        }
        const char byte =
            static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
        if (byte == '\0' || byte == '/') {
            return std::nullopt;
        }
        path += byte;
        i += 2;
    }
    return path;
}

std::string PathFromTypedText(const std::string& text) {
    if (const auto unc = UncNameFromSmbUrl(text)) {
        return *unc;
    }
    if (const auto path = LocalPathFromFileUrl(text)) {
        return *path;
    }
    return text;
}

}  // namespace pellquin
