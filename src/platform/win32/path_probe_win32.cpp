#include <windows.h>

#include "platform/path_probe.h"

namespace pellquin {
namespace {

// Windows reaches UNC paths through its own redirector, with the logon session's rights.
class PathProbeWin32 : public PathProbe {
public:
    bool IsFile(const std::string& path) override {
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(path.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) {
            return false;
        }
        bool found = false;
        do {
            found = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        } while (!found && FindNextFileA(search, &data));
        FindClose(search);
        return found;
    }

    bool IsDirectory(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
};

}  // namespace

std::unique_ptr<PathProbe> MakePathProbe(const std::string& /*credentialsFile*/) {
    return std::make_unique<PathProbeWin32>();
}

}  // namespace pellquin
