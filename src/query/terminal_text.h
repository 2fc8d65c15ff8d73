#pragma once

#include <string>

namespace pellquin {

// Where a text from a server, a service or a file is about to be written. Such texts are
// hostile: an ESC sequence recolours or retitles a terminal, a line break forges a row, a
// bidirectional override reorders what the reader sees.
enum class TextUse {
    TableCell,  // one cell of a table on a terminal: every control shown escaped
    CsvCell,    // one CSV cell: as a table cell, but a tab stays (quoting carries it)
    Message,    // an error text: CR LF and LF stay line breaks (as LF); the rest as a cell
};

// `text` with every character that could act on a terminal replaced by a visible escape:
// C0 controls and DEL as "\xNN", C1 controls and the bidirectional controls (U+061C,
// U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069) as "\uNNNN", and each byte that is
// not part of a valid UTF-8 sequence as "\xNN" (a lone 0x9B is CSI to an 8-bit terminal).
// The result is valid UTF-8. A backslash is left as it is, so a name that already holds
// the text "\x1B" reads the same as one holding ESC; paths are full of backslashes and
// doubling them would make every path unreadable.
std::string NeutralisedText(const std::string& text, TextUse use);

// `text` as a JSON string literal, quotes included, that is always valid UTF-8: controls,
// DEL, C1 and the bidirectional controls as "\u00XX" / "\uXXXX" escapes (a parser gets the
// characters back), and each byte that is not valid UTF-8 as the six characters "\\xNN"
// (the text "\xNN" after parsing), since JSON has no way to carry a raw byte.
std::string JsonQuoted(const std::string& text);

}  // namespace pellquin
