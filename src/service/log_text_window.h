#pragma once

#include <string>

namespace pellquin {

// Shows a local text file, the query service's log, in a read-only window of the program
// that stays open beside the main window, for machines without a desktop application to
// open it in. Reads at most the last 16 MiB; the text is shown as plain text (never as rich
// text), invalid UTF-8 replaced. False when the file cannot be read. Fits LogTextWindow.
bool ShowLogTextWindow(const std::string& localPath);

}  // namespace pellquin
