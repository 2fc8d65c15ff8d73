#include <windows.h>

#include <string>

#include "platform/wire_text.h"

namespace pellquin {
namespace {

// The program holds its texts in the system's ANSI code page, which is the records' code page:
// nothing to convert.
class AnsiWireText : public WireText {
public:
    std::string ToWire(const std::string& text) const override { return text; }
    std::string FromWire(const std::string& bytes) const override { return bytes; }
    size_t CharacterLength(const char* bytes, size_t size) const override {
        if (size == 0) {
            return 0;
        }
        return size >= 2 && IsDBCSLeadByte(static_cast<BYTE>(bytes[0])) ? 2 : 1;
    }
};

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<WireText> MakeWireText(const std::string& name, std::string* error) {
    const std::string number = std::to_string(GetACP());
    // Another code page would need a second conversion of every text the program holds; the
    // names of the system's own one are accepted, so a shared setting can name it.
    const std::string names[] = {number, "CP" + number, "Windows-" + number,
                                 GetACP() == CP_UTF8 ? "UTF-8" : number};
    if (name.empty()) {
        return std::make_unique<AnsiWireText>();
    }
    for (const std::string& known : names) {
        if (EqualsIgnoringCase(name, known)) {
            return std::make_unique<AnsiWireText>();
        }
    }
    *error = "code page '" + name + "' cannot be used: on Windows the service records are in " +
             "the system's ANSI code page (Windows-" + number + ")";
    return nullptr;
}

}  // namespace pellquin
