#pragma once

#include <string>

namespace pellquin {

// What ends a line of the service's log: the system's own line end, so that Notepad and
// less both read the file.
extern const char* const kLogLineEnd;

// Appends `text` to the file at `path`, creating it when missing (readable by its owner and
// group only). Never follows a symbolic link (or reparse point) at `path`, and writes only
// to a plain file with one name, so a link planted in the log's place cannot turn the
// service's rights against another file. Returns false when nothing was written.
bool AppendToLogFile(const std::string& path, const std::string& text);

}  // namespace pellquin
