#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace pellquin {

// The code page of the texts in the query service's records, and the conversion between it
// and this program's own text: UTF-8 on Linux, the ANSI code page on Windows (where the two
// are the same and nothing is converted). Abstract so that the record code converts without
// knowing the platform's calls. Safe to call from several threads at once.
class WireText {
public:
    virtual ~WireText() = default;

    // `text` in the wire's code page. A character the code page cannot carry becomes '?', as
    // does each byte of `text` that is not part of a well-formed character.
    virtual std::string ToWire(const std::string& text) const = 0;

    // Wire bytes as this program's text. Each byte that is not part of a character of the
    // code page becomes one U+FFFD.
    virtual std::string FromWire(const std::string& bytes) const = 0;

    // The number of bytes of the wire character that begins `bytes`: 1 for a byte that begins
    // none, 0 for no bytes. Lets a cut keep whole characters of a multi-byte code page.
    virtual size_t CharacterLength(const char* bytes, size_t size) const = 0;
};

// The converter for the code page called `name`; empty: this system's default (Windows-1252
// on Linux, the system's ANSI code page on Windows). nullptr and *error, a sentence naming
// `name`, when the system does not know the code page or it does not keep ASCII as ASCII
// (the records' paths and separators must read the same in every code page).
std::unique_ptr<WireText> MakeWireText(const std::string& name, std::string* error);

}  // namespace pellquin
