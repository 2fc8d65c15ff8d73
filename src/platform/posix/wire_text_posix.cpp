#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <mutex>

#include "platform/wire_text.h"

namespace pellquin {
namespace {

constexpr const char kDefaultCodePage[] = "Windows-1252";
constexpr const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Bytes of the well-formed UTF-8 sequence that begins `bytes` (shortest form, no surrogates,
// at most U+10FFFF), or 0 when none begins there.
size_t Utf8SequenceLength(const char* bytes, size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    size_t length = 0;
    if (s[0] < 0x80) {
        return 1;
    } else if (s[0] >= 0xC2 && s[0] <= 0xDF) {
        length = 2;
    } else if (s[0] >= 0xE0 && s[0] <= 0xEF) {
        length = 3;
    } else if (s[0] >= 0xF0 && s[0] <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (size < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    const bool overlong = (s[0] == 0xE0 && s[1] < 0xA0) || (s[0] == 0xF0 && s[1] < 0x90);
    const bool surrogate = s[0] == 0xED && s[1] >= 0xA0;
    const bool beyondUnicode = s[0] == 0xF4 && s[1] >= 0x90;
    return overlong || surrogate || beyondUnicode ? 0 : length;
}

// `text` with each byte that is not part of well-formed UTF-8 replaced by `replacement`.
std::string ReplaceMalformedUtf8(const std::string& text, const char* replacement) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text.data() + i, text.size() - i);
        if (length == 0) {
            result += replacement;
            ++i;
        } else {
            result.append(text, i, length);
            i += length;
        }
    }
    return result;
}

// UTF-8 on the wire: the program's own text goes as it is, so Linux peers keep every name.
class Utf8WireText : public WireText {
public:
    std::string ToWire(const std::string& text) const override {
        return ReplaceMalformedUtf8(text, "?");
    }
    std::string FromWire(const std::string& bytes) const override {
        return ReplaceMalformedUtf8(bytes, kReplacement);
    }
    size_t CharacterLength(const char* bytes, size_t size) const override {
        if (size == 0) {
            return 0;
        }
        const size_t length = Utf8SequenceLength(bytes, size);
        return length == 0 ? 1 : length;
    }
};

// Any other code page through iconv. One set of descriptors serves every thread, one
// conversion at a time: a descriptor carries state and may not be shared unguarded.
class IconvWireText : public WireText {
public:
    IconvWireText(iconv_t toWire, iconv_t fromWire, iconv_t measure)
        : m_toWire(toWire), m_fromWire(fromWire), m_measure(measure) {}
    ~IconvWireText() override {
        iconv_close(m_toWire);
        iconv_close(m_fromWire);
        iconv_close(m_measure);
    }
    IconvWireText(const IconvWireText&) = delete;
    IconvWireText& operator=(const IconvWireText&) = delete;

    std::string ToWire(const std::string& text) const override {
        // Malformed bytes are replaced first, so that iconv's only refusal left is a
        // character the code page lacks, whose length is then known.
        const std::string clean = ReplaceMalformedUtf8(text, "?");
        std::lock_guard<std::mutex> lock(m_mutex);
        return Convert(m_toWire, clean, "?", [](const char* at, size_t left) {
            const size_t length = Utf8SequenceLength(at, left);
            return length == 0 ? 1 : length;
        });
    }

    std::string FromWire(const std::string& bytes) const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return Convert(m_fromWire, bytes, kReplacement,
                       [](const char*, size_t) -> size_t { return 1; });
    }

    size_t CharacterLength(const char* bytes, size_t size) const override {
        if (size == 0) {
            return 0;
        }
        // Room for one UTF-32 unit: iconv stops after the first character and shows how many
        // input bytes it took.
        std::lock_guard<std::mutex> lock(m_mutex);
        iconv(m_measure, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes);
        size_t inLeft = size;
        char unit[4];
        char* out = unit;
        size_t outLeft = sizeof unit;
        iconv(m_measure, &in, &inLeft, &out, &outLeft);
        const size_t taken = size - inLeft;
        return taken == 0 ? 1 : taken;
    }

private:
    // Converts `input` whole with `cd`: where iconv refuses, `replacement` is written and
    // skip(at, left) bytes are passed over before it goes on.
    template <typename Skip>
    static std::string Convert(iconv_t cd, const std::string& input, const char* replacement,
                               Skip skip) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::string output;
        char buffer[4096];
        // Brings the converter back to its initial state, writing what a stateful code page
        // needs for that, so that a replacement that follows reads as itself.
        const auto returnToInitialState = [&] {
            char* out = buffer;
            size_t outLeft = sizeof buffer;
            iconv(cd, nullptr, nullptr, &out, &outLeft);
            output.append(buffer, sizeof buffer - outLeft);
        };
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        while (inLeft > 0) {
            char* out = buffer;
            size_t outLeft = sizeof buffer;
            const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
            const int failure = result == static_cast<size_t>(-1) ? errno : 0;
            output.append(buffer, sizeof buffer - outLeft);
            if (failure == EILSEQ || failure == EINVAL) {
                returnToInitialState();
                output += replacement;
                const size_t passed = std::min<size_t>(inLeft, skip(in, inLeft));
                in += passed;
                inLeft -= passed;
            } else if (failure != 0 && failure != E2BIG) {
                break;
            }
        }
        returnToInitialState();
        return output;
    }

    iconv_t m_toWire;
    iconv_t m_fromWire;
    iconv_t m_measure;
    mutable std::mutex m_mutex;
};

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

std::unique_ptr<WireText> OpenIconv(const std::string& name, std::string* error) {
    // iconv's "//TRANSLIT" and "//IGNORE" would replace characters otherwise than documented.
    if (name.find('/') == std::string::npos) {
        const iconv_t toWire = iconv_open(name.c_str(), "UTF-8");
        const iconv_t fromWire = iconv_open("UTF-8", name.c_str());
        const iconv_t measure = iconv_open("UTF-32LE", name.c_str());
        const iconv_t failed = reinterpret_cast<iconv_t>(-1);
        if (toWire != failed && fromWire != failed && measure != failed) {
            return std::make_unique<IconvWireText>(toWire, fromWire, measure);
        }
        for (const iconv_t cd : {toWire, fromWire, measure}) {
            if (cd != failed) {
                iconv_close(cd);
            }
        }
    }
    *error = "unknown code page '" + name +
             "' (use a name iconv knows, such as Windows-1252, ISO-8859-15 or UTF-8)";
    return nullptr;
}

}  // namespace

std::unique_ptr<WireText> MakeWireText(const std::string& name, std::string* error) {
    const std::string codePage = name.empty() ? kDefaultCodePage : name;
    std::unique_ptr<WireText> wire;
    if (EqualsIgnoringCase(codePage, "UTF-8") || EqualsIgnoringCase(codePage, "UTF8")) {
        wire = std::make_unique<Utf8WireText>();
    } else {
        wire = OpenIconv(codePage, error);
    }
    if (!wire) {
        return nullptr;
    }
    std::string ascii(128, '\0');
    for (size_t i = 0; i < ascii.size(); ++i) {
        ascii[i] = static_cast<char>(i);
    }
    if (wire->ToWire(ascii) != ascii || wire->FromWire(ascii) != ascii) {
        *error = "code page '" + codePage +
                 "' does not keep ASCII as it is, so paths would not survive it";
        return nullptr;
    }
    return wire;
}

}  // namespace pellquin
