#include "queryservice/log_text.h"

#include <cstdint>
#include <cstdio>

namespace pellquin {
namespace {

// Code points that change how text around them is shown although they show nothing
// themselves: the format characters (general category Cf), the line and paragraph
// separators, and the bidirectional controls, which are among them.
bool IsInvisibleControl(uint32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        return true;
    }
    struct Range {
        uint32_t first;
        uint32_t last;
    };
    static const Range ranges[] = {
        {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
        {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
        {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
        {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
        {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
        {0xE0020, 0xE007F},
    };
    for (const Range& range : ranges) {
        if (c >= range.first && c <= range.last) {
            return true;
        }
    }
    return false;
}

// Length of the well-formed UTF-8 sequence at text[i] and its code point, or 0 when the
// bytes there are not one (overlong forms, surrogates and values past U+10FFFF included).
size_t DecodeUtf8(const std::string& text, size_t i, uint32_t* codePoint) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    uint32_t value = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        value = value << 6 | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *codePoint = value;
    return length;
}

}  // namespace

std::string EscapeLogText(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    char escape[16];
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        const size_t length = DecodeUtf8(text, i, &c);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "<%02X>", static_cast<unsigned char>(text[i]));
            shown += escape;
            ++i;
            continue;
        }
        if (c == '<') {
            shown += "<<";
        } else if (c < 0x80 && IsInvisibleControl(c)) {
            std::snprintf(escape, sizeof escape, "<%02X>", static_cast<unsigned>(c));
            shown += escape;
        } else if (IsInvisibleControl(c)) {
            std::snprintf(escape, sizeof escape, "<U+%04X>", static_cast<unsigned>(c));
            shown += escape;
        } else {
            shown.append(text, i, length);
        }
        i += length;
    }
    return shown;
}

std::string QuoteLogField(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : EscapeLogText(text)) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    quoted += '"';
    return quoted;
}

}  // namespace pellquin
