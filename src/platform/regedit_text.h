#pragma once

#include <optional>
#include <string>

#include "platform/registry_hive.h"

namespace pellquin {

// The REGEDIT4 text of one root's hive, the form regedit imports and exports, so that a user
// can move settings between a Linux hive file and Windows. No file or OS calls: the caller
// reads and writes the text.

// The hive as text: "REGEDIT4", then one "[<rootName>\<path>]" section per key that has
// values or is not the root, keys in folded path order, values in the order first written,
// CR LF line ends. Strings without line breaks are quoted; DWORDs are "dword:"; anything
// else, and strings holding line breaks, are hex bytes (string types with their NUL).
std::string FormatRegeditText(const RegistryHive& hive, const std::string& rootName);

// Parses REGEDIT4 text of the root `rootName` into *hive (which starts empty). Accepts a
// UTF-8 byte order mark, CR LF or LF line ends, ';' comments, hex data continued over lines
// by a trailing backslash, "[-KEY]" and "NAME=-" removals. On failure returns the 1-based
// line number at fault; *hive then holds what came before that line.
std::optional<int> ParseRegeditText(const std::string& text, const std::string& rootName,
                                    RegistryHive* hive);

}  // namespace pellquin
