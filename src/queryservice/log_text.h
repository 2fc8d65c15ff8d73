#pragma once

#include <string>

namespace pellquin {

// Text from a client made safe for one line of the service's log, so that no name can split
// a line, hide or reorder what follows it, or imitate the log's own structure. Everything
// that could act on a terminal or an editor is shown by a visible escape instead:
//   - bytes that are not part of well-formed UTF-8 (such as a lone 0x9B): "<9B>";
//   - C0 controls, DEL and C1 controls: "<0A>", "<7F>", "<U+009B>";
//   - Unicode format characters, line and paragraph separators and bidirectional
//     controls (U+200E, U+202E, U+2028, U+2066, U+FEFF, ...): "<U+202E>".
// A literal '<' is written "<<", so an escape can never be faked by typing one.
// Backslashes pass unchanged: paths stay readable.
std::string EscapeLogText(const std::string& text);

// EscapeLogText in double quotes, with a literal '"' doubled, so that a field always ends
// at the first lone quote and cannot pose as the fields after it.
std::string QuoteLogField(const std::string& text);

}  // namespace pellquin
