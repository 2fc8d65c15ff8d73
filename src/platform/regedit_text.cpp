#include "platform/regedit_text.h"
#include "platform/hex_digit.h"

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace pellquin {
namespace {

constexpr char kHeader[] = "REGEDIT4";

bool IsStringType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz;
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string HexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (i != 0) {
            hex += ',';
        }
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

std::string FormatData(const RegistryValue& value) {
    if (value.type == kRegSz && IsValidRegistryName(value.data)) {
        return Quote(value.data);
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        uint32_t bits = 0;
        for (int i = 3; i >= 0; --i) {
            bits = (bits << 8) | static_cast<unsigned char>(value.data[i]);
        }
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", bits);
        return text;
    }
    // Strings that hold line breaks, and expandable strings as regedit writes them, go out
    // as bytes with their terminating NUL.
    const std::string bytes = IsStringType(value.type) ? value.data + '\0' : value.data;
    if (value.type == kRegBinary) {
        return "hex:" + HexBytes(bytes);
    }
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", value.type);
    return type + HexBytes(bytes);
}

// `digits` as a hex number of one to `maxDigits` digits.
bool ParseHexNumber(const std::string& digits, size_t maxDigits, uint32_t* value) {
    if (digits.empty() || digits.size() > maxDigits) {
        return false;
    }
    uint32_t number = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return false;
        }
        number = number * 16 + static_cast<uint32_t>(digit);
    }
    *value = number;
    return true;
}

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return std::string();
    }
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// Reads a quoted string starting at text[*pos] == '"'; moves *pos past the closing quote.
// Only \\ and \" are escapes; any other backslash stands for itself.
bool ParseQuoted(const std::string& text, size_t* pos, std::string* out) {
    if (*pos >= text.size() || text[*pos] != '"') {
        return false;
    }
    out->clear();
    for (size_t i = *pos + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            *pos = i + 1;
            return true;
        }
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            ++i;
        }
        *out += text[i];
    }
    return false;
}

bool ParseHexBytes(const std::string& text, std::string* bytes) {
    bytes->clear();
    const std::string trimmed = Trim(text);
    if (trimmed.empty()) {
        return true;
    }
    size_t start = 0;
    while (start <= trimmed.size()) {
        const size_t comma = trimmed.find(',', start);
        const std::string item = Trim(
            trimmed.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        uint32_t byte = 0;
        if (!ParseHexNumber(item, 2, &byte)) {
            return false;
        }
        *bytes += static_cast<char>(byte);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

// The data after '=': a quoted string, dword:, hex: or hex(type):. Sets *remove for "-".
bool ParseData(const std::string& text, RegistryValue* value, bool* remove) {
    *remove = false;
    if (text == "-") {
        *remove = true;
        return true;
    }
    if (!text.empty() && text[0] == '"') {
        size_t pos = 0;
        value->type = kRegSz;
        return ParseQuoted(text, &pos, &value->data) && Trim(text.substr(pos)).empty();
    }
    const std::string lower = FoldRegistryName(text.substr(0, 16));
    if (lower.compare(0, 6, "dword:") == 0) {
        uint32_t bits = 0;
        if (!ParseHexNumber(Trim(text.substr(6)), 8, &bits)) {
            return false;
        }
        value->type = kRegDword;
        value->data.clear();
        for (int i = 0; i < 4; ++i) {
            value->data += static_cast<char>((bits >> (8 * i)) & 0xFF);
        }
        return true;
    }
    size_t colon = std::string::npos;
    if (lower.compare(0, 4, "hex:") == 0) {
        value->type = kRegBinary;
        colon = 3;
    } else if (lower.compare(0, 4, "hex(") == 0) {
        const size_t close = lower.find("):", 4);
        uint32_t type = 0;
        if (close == std::string::npos || !ParseHexNumber(lower.substr(4, close - 4), 8, &type)) {
            return false;
        }
        value->type = type;
        colon = close + 1;
    } else {
        return false;
    }
    if (!ParseHexBytes(text.substr(colon + 1), &value->data)) {
        return false;
    }
    if (IsStringType(value->type) && !value->data.empty() && value->data.back() == '\0') {
        value->data.pop_back();
    }
    return true;
}

bool EndsWithBackslash(const std::string& trimmed) {
    return !trimmed.empty() && trimmed.back() == '\\';
}

// Splits the text into logical lines: CR LF or LF endings, and hex data continued by a
// trailing backslash joined to its next line. Blank and ';' comment lines are dropped.
// Each physical line is looked at once, so a long wrapped value costs its length only.
std::vector<std::pair<int, std::string>> LogicalLines(const std::string& text) {
    std::vector<std::pair<int, std::string>> lines;
    size_t start = 0;
    int number = 0;
    bool continued = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string trimmed = Trim(line);
        if (continued) {
            // The line being continued already holds "=hex" and starts with no '['.
            std::string& last = lines.back().second;
            last += trimmed;
            continued = EndsWithBackslash(trimmed);
            if (continued) {
                last.pop_back();
            }
            continue;
        }
        if (trimmed.empty() || trimmed[0] == ';') {
            continue;
        }
        lines.emplace_back(number, line);
        continued = EndsWithBackslash(trimmed) && trimmed[0] != '[' &&
                    FoldRegistryName(trimmed).find("=hex") != std::string::npos;
        if (continued) {
            lines.back().second = trimmed.substr(0, trimmed.size() - 1);
        }
    }
    return lines;
}

}  // namespace

std::string FormatRegeditText(const RegistryHive& hive, const std::string& rootName) {
    std::string text = std::string(kHeader) + "\r\n\r\n";
    for (const auto& [folded, key] : hive.Keys()) {
        if (folded.empty() && key.Empty()) {
            continue;
        }
        text += "[" + rootName + (key.Path().empty() ? "" : "\\" + key.Path()) + "]\r\n";
        for (const RegistryValue* value : key.Values()) {
            text += (value->name.empty() ? std::string("@") : Quote(value->name)) + "=" +
                    FormatData(*value) + "\r\n";
        }
        text += "\r\n";
    }
    return text;
}

std::optional<int> ParseRegeditText(const std::string& fileText, const std::string& rootName,
                                    RegistryHive* hive) {
    *hive = RegistryHive();
    const bool bom = fileText.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const auto lines = LogicalLines(bom ? fileText.substr(3) : fileText);
    if (lines.empty() || Trim(lines[0].second) != kHeader) {
        return lines.empty() ? 1 : lines[0].first;
    }
    HiveKey* current = nullptr;
    const std::string foldedRoot = FoldRegistryName(rootName);
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto& [number, raw] = lines[i];
        const std::string line = Trim(raw);
        if (line[0] == '[') {
            if (line.back() != ']') {
                return number;
            }
            std::string name = line.substr(1, line.size() - 2);
            const bool remove = !name.empty() && name[0] == '-';
            if (remove) {
                name.erase(0, 1);
            }
            std::string path;
            if (FoldRegistryName(name) == foldedRoot) {
                path.clear();
            } else if (FoldRegistryName(name.substr(0, foldedRoot.size() + 1)) ==
                       foldedRoot + "\\") {
                path = name.substr(foldedRoot.size() + 1);
            } else {
                return number;
            }
            if ((path.empty() && remove) || !IsValidRegistryPath(path)) {
                return number;
            }
            if (remove) {
                hive->RemoveTree(path);
                current = nullptr;
            } else {
                hive->Create(path);
                current = hive->Find(path);
            }
            continue;
        }
        if (current == nullptr) {
            return number;
        }
        RegistryValue value;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, &pos, &value.name)) {
            return number;
        }
        const size_t equals = line.find_first_not_of(" \t", pos);
        if (equals == std::string::npos || line[equals] != '=') {
            return number;
        }
        bool remove = false;
        if (!ParseData(Trim(line.substr(equals + 1)), &value, &remove)) {
            return number;
        }
        if (remove) {
            current->Remove(value.name);
        } else {
            current->Set(value.name, value.type, std::move(value.data));
        }
    }
    return std::nullopt;
}

}  // namespace pellquin
