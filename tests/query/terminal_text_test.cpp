#include "query/terminal_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace pellquin {
namespace {

struct NeutralCase {
    const char* what;
    std::string in;
    std::string cell;     // TextUse::TableCell
    std::string csv;      // TextUse::CsvCell
    std::string message;  // TextUse::Message
};

TEST(NeutralisedText, EscapesWhatWouldActOnATerminal) {
    const NeutralCase cases[] = {
        {"plain names and non-ASCII letters pass", "C:\\srv\\Grüße ø.txt", "C:\\srv\\Grüße ø.txt",
         "C:\\srv\\Grüße ø.txt", "C:\\srv\\Grüße ø.txt"},
        {"ESC of a colour sequence", "a\x1b[31mred", "a\\x1B[31mred", "a\\x1B[31mred",
         "a\\x1B[31mred"},
        {"title-setting OSC ended by BEL", "\x1b]0;owned\x07", "\\x1B]0;owned\\x07",
         "\\x1B]0;owned\\x07", "\\x1B]0;owned\\x07"},
        {"C1 CSI as a character",
         "x\xc2\x9b"
         "2J",
         "x\\u009B2J", "x\\u009B2J", "x\\u009B2J"},
        {"C1 CSI as a lone byte",
         "x\x9b"
         "2J",
         "x\\x9B2J", "x\\x9B2J", "x\\x9B2J"},
        {"right-to-left override", "txt.\xe2\x80\xae" "exe", "txt.\\u202Eexe", "txt.\\u202Eexe",
         "txt.\\u202Eexe"},
        {"isolates and marks",
         "\xe2\x81\xa6"
         "a\xe2\x80\x8f",
         "\\u2066a\\u200F", "\\u2066a\\u200F", "\\u2066a\\u200F"},
        {"newline forging a row", "a\nb", "a\\x0Ab", "a\\x0Ab", "a\nb"},
        {"CR LF of an engine text", "one\r\ntwo", "one\\x0D\\x0Atwo", "one\\x0D\\x0Atwo",
         "one\ntwo"},
        {"a lone CR rewrites the line", "ok\rforged", "ok\\x0Dforged", "ok\\x0Dforged",
         "ok\\x0Dforged"},
        {"tab", "a\tb", "a\\x09b", "a\tb", "a\\x09b"},
        {"DEL and NUL", std::string("a\x7f\0b", 4), "a\\x7F\\x00b", "a\\x7F\\x00b", "a\\x7F\\x00b"},
        {"overlong and surrogate forms are bytes", "\xc0\xaf\xed\xa0\x80",
         "\\xC0\\xAF\\xED\\xA0\\x80", "\\xC0\\xAF\\xED\\xA0\\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},
        {"a sequence cut short at the end", "a\xe2\x80", "a\\xE2\\x80", "a\\xE2\\x80",
         "a\\xE2\\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NeutralisedText(c.in, TextUse::TableCell), c.cell) << c.what;
        EXPECT_EQ(NeutralisedText(c.in, TextUse::CsvCell), c.csv) << c.what;
        EXPECT_EQ(NeutralisedText(c.in, TextUse::Message), c.message) << c.what;
    }
}

TEST(JsonQuoted, EscapesAsJsonDoes) {
    const std::pair<std::string, std::string> cases[] = {
        {"Grüße \"q\" \\", "\"Grüße \\\"q\\\" \\\\\""},
        {"a\x1b[2Jb\n\t\r", "\"a\\u001b[2Jb\\n\\t\\r\""},
        {"\xc2\x9b\x7f", "\"\\u009b\\u007f\""},
        {"txt.\xe2\x80\xae" "exe", "\"txt.\\u202eexe\""},
        {"caf\xe9", "\"caf\\\\xE9\""},  // Windows-1252 bytes are not UTF-8
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(JsonQuoted(in), out) << in;
    }
}

// Well-formed UTF-8 as Unicode's table of byte ranges has it, written apart from the code
// under test.
bool IsWellFormedUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
        const unsigned char c = b(i);
        size_t n = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c <= 0x7F) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
        } else if (c == 0xE0) {
            n = 2, lo = 0xA0;
        } else if (c == 0xED) {
            n = 2, hi = 0x9F;
        } else if (c >= 0xE1 && c <= 0xEF) {
            n = 2;
        } else if (c == 0xF0) {
            n = 3, lo = 0x90;
        } else if (c == 0xF4) {
            n = 3, hi = 0x8F;
        } else if (c >= 0xF1 && c <= 0xF3) {
            n = 3;
        } else {
            return false;
        }
        if (i + n >= s.size() || b(i + 1) < lo || b(i + 1) > hi) {
            return false;
        }
        for (size_t k = 2; k <= n; ++k) {
            if (b(i + k) < 0x80 || b(i + k) > 0xBF) {
                return false;
            }
        }
        i += n + 1;
    }
    return true;
}

// The string a JSON parser reads from `quoted` (escapes of the BMP only, which is all the
// encoder writes).
std::string ParseJsonString(const std::string& quoted) {
    std::string out;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] != '\\') {
            out += quoted[i];
            continue;
        }
        const char e = quoted[++i];
        if (e == 'u') {
            const unsigned v = std::stoul(quoted.substr(i + 1, 4), nullptr, 16);
            i += 4;
            if (v < 0x80) {
                out += static_cast<char>(v);
            } else if (v < 0x800) {
                out += static_cast<char>(0xC0 | (v >> 6));
                out += static_cast<char>(0x80 | (v & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (v >> 12));
                out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (v & 0x3F));
            }
        } else {
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
    }
    return out;
}

TEST(JsonQuoted, ArbitraryBytesGiveValidJsonThatKeepsValidText) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> anyByte(0, 255);
    const std::string pieces[] = {"ü", "\xe2\x80\xae", "\xc2\x9b", "\x1b", "€", "𝄞", "\"", "\\"};
    std::uniform_int_distribution<size_t> piece(0, std::size(pieces) - 1);
    for (int round = 0; round < 2000; ++round) {
        std::string in;
        for (int k = length(random); k > 0; --k) {
            if (anyByte(random) < 128) {
                in += static_cast<char>(anyByte(random));
            } else {
                in += pieces[piece(random)];
            }
        }
        const std::string json = JsonQuoted(in);
        ASSERT_TRUE(IsWellFormedUtf8(json)) << json;
        for (const char ch : json) {
            ASSERT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) << json;
        }
        if (IsWellFormedUtf8(in)) {
            EXPECT_EQ(ParseJsonString(json), in);
        }
        ASSERT_TRUE(IsWellFormedUtf8(NeutralisedText(in, TextUse::TableCell)));
    }
}

}  // namespace
}  // namespace pellquin
