#pragma once

#include <string>

#include "platform/wire_text.h"

namespace pellquin::test {

// Records in UTF-8 as the handler's own text is, on every system: texts pass unchanged and
// a cut keeps UTF-8 sequences whole. Lets the handler's tests show the same bytes on Linux and
// on Windows, whose own converter keeps the ANSI code page.
class Utf8WireText : public WireText {
public:
    std::string ToWire(const std::string& text) const override { return text; }
    std::string FromWire(const std::string& bytes) const override { return bytes; }
    size_t CharacterLength(const char* bytes, size_t size) const override {
        if (size == 0) {
            return 0;
        }
        const auto lead = static_cast<unsigned char>(bytes[0]);
        size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (length > size) {
            return 1;
        }
        for (size_t i = 1; i < length; ++i) {
            if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) {
                return 1;
            }
        }
        return length;
    }
};

}  // namespace pellquin::test
