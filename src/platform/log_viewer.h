#pragma once

#include <memory>
#include <string>

namespace pellquin {

// Shows a text file in the desktop's viewer (Notepad on Windows, the default application
// through xdg-open on Linux) without waiting for it. Abstract so that tests start nothing.
class LogViewer {
public:
    virtual ~LogViewer() = default;

    // Starts the viewer on `path`; false when it could not be started.
    virtual bool Open(const std::string& path) = 0;

    // The viewer's name as the failure message gives it: "Notepad.exe", "xdg-open".
    virtual std::string Name() = 0;
};

// This system's log viewer.
std::unique_ptr<LogViewer> MakeLogViewer();

}  // namespace pellquin
