#pragma once

#include <string>

namespace pellquin {

// Whether an open file's path lies at or below `basePath`, as a Windows server filters its
// open-file enumeration: the comparison ignores case (ASCII letters only: servers fold the
// rest by their own tables, which we do not carry) and works on whole components, so
// "C:\data\rep" matches "C:\data\rep" and "C:\data\rep\x" but not "C:\data\reports\x".
// A base path ending in "\" matches everything below it; an empty one matches every path.
// With `exactCase`, letters must match exactly: for servers whose paths carry the real
// spelling of every name, where "Reports" and "reports" are different folders.
bool PathIsAtOrBelow(const std::string& path, const std::string& basePath, bool exactCase = false);

}  // namespace pellquin
