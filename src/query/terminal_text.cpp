#include "query/terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace pellquin {
namespace {

// Length of the valid UTF-8 sequence at `at` and its code point; 0 when the byte there
// does not begin one (overlong forms, surrogates and values above U+10FFFF included).
size_t DecodeUtf8(const std::string& text, size_t at, uint32_t* codePoint) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    size_t length = 0;
    uint32_t value = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *codePoint = value;
    return length;
}

bool IsBidiControl(uint32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool IsControl(uint32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

std::string Escaped(const char* format, unsigned value) {
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

std::string NeutralisedText(const std::string& text, TextUse use) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        const size_t length = DecodeUtf8(text, i, &c);
        if (length == 0) {
            out += Escaped("\\x%02X", static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        if (use == TextUse::Message && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += '\n';
            i += 2;
            continue;
        }
        const bool kept =
            (c == '\n' && use == TextUse::Message) || (c == '\t' && use == TextUse::CsvCell);
        if (kept || (!IsControl(c) && !IsBidiControl(c))) {
            out.append(text, i, length);
        } else if (c < 0x80) {
            out += Escaped("\\x%02X", c);
        } else {
            out += Escaped("\\u%04X", c);
        }
        i += length;
    }
    return out;
}

std::string JsonQuoted(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        const size_t length = DecodeUtf8(text, i, &c);
        if (length == 0) {
            out += Escaped("\\\\x%02X", static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (IsControl(c) || IsBidiControl(c)) {
                    out += Escaped("\\u%04x", c);
                } else {
                    out.append(text, i, length);
                }
        }
        i += length;
    }
    return out + "\"";
}

}  // namespace pellquin
