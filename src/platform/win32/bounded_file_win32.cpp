#include <windows.h>

#include "platform/bounded_file.h"

namespace pellquin {
namespace {

std::string SystemMessage(DWORD code) {
    char buffer[256] = {};
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r' ||
                          buffer[length - 1] == '.')) {
        --length;
    }
    return length > 0 ? std::string(buffer, length) : "error " + std::to_string(code);
}

}  // namespace

BoundedFileRead ReadBoundedFile(const std::string& path, size_t maxBytes, FileLinks links) {
    using Status = BoundedFileRead::Status;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (links == FileLinks::Refuse) {
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;  // opens the link itself, to be refused below
    }
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return UnreadFile(missing ? Status::Missing : Status::Failed, SystemMessage(error));
    }
    BoundedFileRead result;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        // Pipes, consoles and devices.
        result = UnreadFile(Status::Refused, "it is not a regular file");
    } else if (!GetFileInformationByHandle(file, &info)) {
        result = UnreadFile(Status::Failed, SystemMessage(GetLastError()));
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result = UnreadFile(Status::Refused, "it is not a regular file");
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
               links == FileLinks::Refuse) {
        result = UnreadFile(Status::Refused, "it is a symbolic link");
    } else {
        const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        result =
            ReadOpenedFile(size, maxBytes, [file](char* buffer, size_t room, std::string* problem) {
                DWORD count = 0;
                if (!ReadFile(file, buffer, static_cast<DWORD>(room), &count, nullptr)) {
                    *problem = SystemMessage(GetLastError());
                    return int64_t{-1};
                }
                return static_cast<int64_t>(count);
            });
    }
    CloseHandle(file);
    return result;
}

}  // namespace pellquin
