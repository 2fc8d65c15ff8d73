#include "query/result_format.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

namespace pellquin {
namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool MatchesAt(const std::string& text, size_t pos, const std::string& pattern) {
    if (pos + pattern.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (Lower(text[pos + i]) != Lower(pattern[i])) {
            return false;
        }
    }
    return true;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// [begin, end) of each non-empty component of text, separated by '\\' or '/'.
std::vector<std::pair<size_t, size_t>> Components(const std::string& text) {
    std::vector<std::pair<size_t, size_t>> parts;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsSeparator(text[pos])) {
            ++pos;
        }
        const size_t begin = pos;
        while (pos < text.size() && !IsSeparator(text[pos])) {
            ++pos;
        }
        if (pos > begin) {
            parts.emplace_back(begin, pos);
        }
    }
    return parts;
}

}  // namespace

std::string PermissionLetters(uint32_t permissions) {
    std::string letters;
    if (permissions & 1) {
        letters += 'R';
    }
    if (permissions & 2) {
        letters += 'W';
    }
    if (permissions & 4) {
        letters += 'C';
    }
    return letters;
}

std::string IdText(uint32_t id) {
    return std::to_string(static_cast<int32_t>(id));
}

uint32_t ParseIdText(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    }
    return negative ? 0u - value : value;
}

std::string ClientPathAsServerSpells(const std::string& clientPath, const std::string& path,
                                     const std::string& serverPath) {
    const auto client = Components(clientPath);
    const auto server = Components(serverPath);
    const size_t count = std::min({Components(path).size(), client.size(), server.size()});
    std::string spelled = clientPath;
    for (size_t k = 1; k <= count; ++k) {
        const auto [clientBegin, clientEnd] = client[client.size() - k];
        const auto [serverBegin, serverEnd] = server[server.size() - k];
        const size_t length = clientEnd - clientBegin;
        if (length != serverEnd - serverBegin ||
            !MatchesAt(serverPath, serverBegin, clientPath.substr(clientBegin, length))) {
            break;
        }
        spelled.replace(clientBegin, length, serverPath, serverBegin, length);
    }
    return spelled;
}

std::string ClientRelativeName(const std::string& pathName, const std::string& serverPath,
                               const std::string& clientPath) {
    if (serverPath.empty()) {
        return pathName;
    }
    const bool slashStyle =
        clientPath.find('/') != std::string::npos && clientPath.find('\\') == std::string::npos;
    const char separator = slashStyle ? '/' : '\\';
    std::string client = clientPath;
    if (serverPath.back() == '\\' && (client.empty() || client.back() != separator)) {
        client += separator;
    }
    std::string result;
    bool replaced = false;
    size_t pos = 0;
    while (pos < pathName.size()) {
        if (MatchesAt(pathName, pos, serverPath)) {
            result += client;
            pos += serverPath.size();
            replaced = true;
        } else {
            result += pathName[pos++];
        }
    }
    if (slashStyle && replaced) {
        for (char& c : result) {
            if (c == '\\') {
                c = '/';
            }
        }
    }
    return result;
}

}  // namespace pellquin
