#include <windows.h>
// <shellapi.h> needs the types of <windows.h> first.
#include <shellapi.h>

#include "platform/log_viewer.h"

namespace pellquin {
namespace {

class LogViewerWin32 : public LogViewer {
public:
    bool Open(const std::string& path) override {
        const HINSTANCE result = ShellExecuteA(GetActiveWindow(), "open", "notepad.exe",
                                               path.c_str(), nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }

    std::string Name() override { return "Notepad.exe"; }
};

}  // namespace

std::unique_ptr<LogViewer> MakeLogViewer(LogTextWindow /*window*/) {
    return std::make_unique<LogViewerWin32>();
}

}  // namespace pellquin
