// The records' code page on Linux: Windows-1252 through iconv by default, UTF-8 on request,
// and the record texts through them on their way to and from the codec.
#include "platform/wire_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "protocol/record_text.h"
#include "protocol/service_codec.h"

namespace pellquin {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

std::unique_ptr<WireText> Wire(const std::string& name) {
    std::string error;
    std::unique_ptr<WireText> wire = MakeWireText(name, &error);
    EXPECT_NE(wire, nullptr) << error;
    return wire;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const unsigned char c : bytes) {
        text += std::string(text.empty() ? "" : " ") + digits[c >> 4] + digits[c & 15];
    }
    return text;
}

TEST(WireText, ConvertsBetweenUtf8AndTheCodePage) {
    const struct {
        const char* codePage;
        const char* what;
        std::string text;  // this program's text (UTF-8)
        std::string wire;
    } cases[] = {
        {"", "ASCII", "D:\\Data\\readme.txt", "D:\\Data\\readme.txt"},
        {"", "e acute", "caf\xC3\xA9", "caf\xE9"},
        {"", "euro sign", "\xE2\x82\xAC", "\x80"},
        {"", "Z caron", "\xC5\xBD", "\x8E"},
        {"", "y diaeresis", "\xC3\xBF", "\xFF"},
        {"", "a CJK character the code page lacks", "a\xE6\x97\xA5z", "a?z"},
        {"UTF-8", "e acute", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"UTF-8", "a CJK character", "a\xE6\x97\xA5z", "a\xE6\x97\xA5z"},
        {"UTF-8", "a character beyond the BMP", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codePage) + ": " + c.what);
        const auto wire = Wire(c.codePage);
        ASSERT_NE(wire, nullptr);
        EXPECT_EQ(Hex(wire->ToWire(c.text)), Hex(c.wire));
        if (c.wire.find('?') == std::string::npos) {
            EXPECT_EQ(Hex(wire->FromWire(c.wire)), Hex(c.text));
        }
    }
}

TEST(WireText, MalformedTextBecomesOneReplacementPerByte) {
    const struct {
        const char* codePage;
        const char* what;
        std::string bytes;
        std::string toWire;    // as this program's text, sent
        std::string fromWire;  // as wire bytes, received
    } cases[] = {
        {"", "undefined Windows-1252 bytes",
         "a\x81\x8D\x8F\x90\x9D"
         "b",
         "a?????b",
         "a" + kReplacement + kReplacement + kReplacement + kReplacement + kReplacement + "b"},
        {"UTF-8", "a lone lead byte",
         "a\xC3"
         "b",
         "a?b", "a" + kReplacement + "b"},
        {"UTF-8", "a cut three-byte sequence", "\xE2\x82", "??", kReplacement + kReplacement},
        {"UTF-8", "an overlong slash", "\xC0\xAF", "??", kReplacement + kReplacement},
        {"UTF-8", "a surrogate", "\xED\xA0\x80", "???", kReplacement + kReplacement + kReplacement},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codePage) + ": " + c.what);
        const auto wire = Wire(c.codePage);
        ASSERT_NE(wire, nullptr);
        EXPECT_EQ(Hex(wire->ToWire(c.bytes)), Hex(c.toWire));
        EXPECT_EQ(Hex(wire->FromWire(c.bytes)), Hex(c.fromWire));
    }
}

TEST(WireText, EveryCharacterOfWindows1252SurvivesTheRoundTrip) {
    const auto wire = Wire("Windows-1252");
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string bytes(1, static_cast<char>(byte));
        const std::string text = wire->FromWire(bytes);
        const bool undefined =
            byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
        EXPECT_EQ(text == kReplacement, undefined) << Hex(bytes);
        if (!undefined) {
            EXPECT_EQ(Hex(wire->ToWire(text)), Hex(bytes));
        }
    }
}

TEST(WireText, NamesTheSystemDoesNotKnowOrThatChangeAsciiAreRefused) {
    const struct {
        const char* name;
        bool known;
    } cases[] = {
        {"windows-1252", true}, {"CP1252", true}, {"ISO-8859-15", true},
        {"utf8", true},         {"CP932", true},  {"no-such-code-page", false},
        {"UTF-16", false},      {"UTF-7", false}, {"CP1252//TRANSLIT", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto wire = MakeWireText(c.name, &error);
        EXPECT_EQ(wire != nullptr, c.known) << error;
        if (!c.known) {
            EXPECT_NE(error.find(std::string("'") + c.name + "'"), std::string::npos) << error;
        }
    }
}

TEST(WireText, CharacterLengthIsThatOfTheWireCharacter) {
    const struct {
        const char* codePage;
        std::string bytes;
        size_t length;
    } cases[] = {
        {"", "", 0},
        {"", "\xE9x", 1},
        {"UTF-8", "\xC3\xA9x", 2},
        {"UTF-8", "\xE2\x82\xAC", 3},
        {"UTF-8", "\xC3x", 1},
        {"CP932", "\x93\xFAx", 2},  // a kanji in Shift-JIS
        {"CP932", "ax", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codePage) + " " + Hex(c.bytes));
        EXPECT_EQ(Wire(c.codePage)->CharacterLength(c.bytes.data(), c.bytes.size()), c.length);
    }
}

TEST(RecordText, CafeGoesOnTheWireInTheCodePage) {
    ServiceRequestRecord record;
    record.Server = "srv";
    record.Share = "data";
    record.Path = "caf\xC3\xA9";
    record.RequestKind = 1;
    const struct {
        const char* codePage;
        const char* bytes;
    } cases[] = {{"Windows-1252", "63 61 66 E9 00"}, {"UTF-8", "63 61 66 C3 A9 00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        const auto wire = Wire(c.codePage);
        const EncodedRecord encoded = EncodeRequestRecord(RequestToWire(record, *wire));
        ASSERT_TRUE(encoded.Ok());
        const std::string bytes(encoded.bytes.begin(), encoded.bytes.end());
        const size_t count = (std::string(c.bytes).size() + 1) / 3;
        EXPECT_EQ(Hex(bytes.substr(510, count)), c.bytes);  // the path's field

        ByteReader reader(encoded.bytes);
        EXPECT_EQ(RequestFromWire(DecodeRequestRecord(reader), *wire).Path, record.Path);
    }
}

TEST(RecordText, FieldsAreFittedInWireBytesAndCutBetweenCharacters) {
    const std::string e = "\xC3\xA9";
    std::string twoHundredE;
    std::string threeHundredE;
    for (int i = 0; i < 300; ++i) {
        (i < 200 ? twoHundredE : threeHundredE) += e;
    }
    threeHundredE = twoHundredE + threeHundredE.substr(0, 200);
    const struct {
        const char* what;
        const char* codePage;
        std::string text;
        std::string fitted;
    } cases[] = {
        // 400 bytes here, 200 on the wire: it fits whole.
        {"200 e-acutes in Windows-1252", "", twoHundredE, std::string(200, '\xE9')},
        {"300 e-acutes in Windows-1252", "", threeHundredE, std::string(254, '\xE9')},
        {"UTF-8 cut before a two-byte character", "UTF-8", std::string(253, 'x') + e + "tail",
         std::string(253, 'x')},
        {"Shift-JIS cut before a kanji", "CP932", std::string(253, 'x') + "\xE6\x97\xA5",
         std::string(253, 'x')},
        {"a NUL", "", std::string("a\0b", 3), "a?b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto wire = Wire(c.codePage);
        EXPECT_EQ(FitWireField(c.text, *wire), c.fitted);
    }
}

}  // namespace
}  // namespace pellquin
