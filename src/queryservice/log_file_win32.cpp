#include "queryservice/log_file.h"

#include <windows.h>

namespace pellquin {

const char* const kLogLineEnd = "\r\n";

bool AppendToLogFile(const std::string& path, const std::string& text) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself instead of its target; the attribute
    // check below then refuses it.
    HANDLE file = CreateFileA(
        path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok =
        GetFileInformationByHandle(file, &info) != 0 &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
        info.nNumberOfLinks == 1 && GetFileType(file) == FILE_TYPE_DISK;
    size_t written = 0;
    while (ok && written < text.size()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(text.size() - written);
        if (!WriteFile(file, text.data() + written, chunk, &n, nullptr) || n == 0) {
            ok = false;
        } else {
            written += n;
        }
    }
    CloseHandle(file);
    return ok;
}

}  // namespace pellquin
