#pragma once

#include <functional>
#include <memory>
#include <string>

namespace pellquin {

// Shows a text file in the desktop's viewer (Notepad on Windows, the default application
// through xdg-open on Linux) without waiting for it. Abstract so that tests start nothing.
// On Linux a path "MACHINE:/path" is fetched over ssh into a private temporary file first.
class LogViewer {
public:
    virtual ~LogViewer() = default;

    // Starts the viewer on `path`; false when it could not be started.
    virtual bool Open(const std::string& path) = 0;

    // The viewer's name as the failure message gives it: "Notepad.exe", "xdg-open".
    virtual std::string Name() = 0;
};

// Shows the text of a local file in a read-only window of the program; false when it could
// not be read. The file may be removed once it returns.
using LogTextWindow = std::function<bool(const std::string& localPath)>;

// This system's log viewer. On Linux, when `window` is given and there is no desktop to open
// the log in (no xdg-open, or no display), the log is shown in `window` instead. Windows always
// has Notepad and ignores it.
std::unique_ptr<LogViewer> MakeLogViewer(LogTextWindow window = LogTextWindow());

}  // namespace pellquin
