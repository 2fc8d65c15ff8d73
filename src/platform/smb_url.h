#pragma once

#include <optional>
#include <string>

namespace pellquin {

// `text` with every "%XY" (two hexadecimal digits) replaced by the byte it stands for; a "%"
// not followed by two hexadecimal digits stays as it is.
std::string PercentDecoded(const std::string& text);

// The UNC name "\\server\share\dir\file" of an "smb://" URL, as file managers hand network
// folders to programs: the scheme in any case, a user ("user@", "DOMAIN;user:password@") and
// a port dropped (a UNC name carries neither), each part percent-decoded, and a trailing "/"
// dropped. "smb://server" gives "\\server". nullopt when `text` is not an smb URL with a
// server name.
std::optional<std::string> UncNameFromSmbUrl(const std::string& text);

// The path a person typed or a program passed, in the form the rest of the program takes:
// an smb URL as its UNC name, anything else unchanged.
std::string PathFromTypedText(const std::string& text);

}  // namespace pellquin
