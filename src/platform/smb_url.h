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
// server name, or when a part decodes to a NUL (no name holds one, and the C calls below
// would cut the name there).
std::optional<std::string> UncNameFromSmbUrl(const std::string& text);

// The local path of a "file:" URL for this computer, as file managers hand local items to
// programs: "file:///dir/a%20b", "file://localhost/dir/a%20b" (scheme and host in any case)
// and "file:/dir/a%20b" give "/dir/a b"; the path is taken byte for byte, with nothing
// dropped or added. nullopt, so that the text is not read as a path of this computer, when
// the URL names another host, its path is not absolute, it holds a "?" or "#" (a query or a
// fragment, which GIO and Qt escape in a file name), a "%" that starts no escape, or an
// escape for NUL or "/" (neither can be part of a file name, and "/" would move the name to
// another folder).
std::optional<std::string> LocalPathFromFileUrl(const std::string& text);

// The path a person typed or a program passed, in the form the rest of the program takes:
// an smb URL as its UNC name, a file URL for this computer as its local path, anything else
// (a file URL for another host too) unchanged, so that it meets the usual "not a valid file
// or directory".
std::string PathFromTypedText(const std::string& text);

}  // namespace pellquin
