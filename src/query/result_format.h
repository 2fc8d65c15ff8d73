#pragma once

#include <cstdint>
#include <string>

namespace pellquin {

// How the rows of a check are shown, shared by every front end.

// "R", "W", "C" for the bits 1, 2, 4, in that order; empty when none is set.
std::string PermissionLetters(uint32_t permissions);

// The id as users see it: its 32 bits read as signed, in decimal.
std::string IdText(uint32_t id);

// Reads an id back from its text as a plain decimal conversion does: leading blanks and one
// sign allowed, reading stops at the first non-digit, no digits give 0. The result keeps the
// low 32 bits, so IdText's negative texts read back into the same id.
uint32_t ParseIdText(const std::string& text);

// clientPath with its last components, as many as `path` (the part below the share) has,
// spelled as serverPath's last components spell them, where the two differ only in ASCII
// case: a path typed "\\srv\loose\REP" for the folder the server calls "rep" shows its rows
// as "\\srv\loose\rep\...", the server's own names. The replacement stops at the first
// component that differs otherwise; the share and the server name are never touched.
std::string ClientPathAsServerSpells(const std::string& clientPath, const std::string& path,
                                     const std::string& serverPath);

// The server's file name in the user's terms: every occurrence of serverPath in pathName,
// letters matched without regard to case, replaced by clientPath (with a trailing backslash
// added when serverPath has one and clientPath has not). An empty serverPath leaves the name
// unchanged. When clientPath is written with '/' only and a replacement was made, the name is
// written with '/' throughout, so a Linux path stays in one style.
std::string ClientRelativeName(const std::string& pathName, const std::string& serverPath,
                               const std::string& clientPath);

}  // namespace pellquin
