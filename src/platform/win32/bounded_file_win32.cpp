#include <windows.h>

#include <algorithm>

#include "platform/bounded_file.h"

namespace pellquin {
namespace {

using Status = BoundedFileRead::Status;

BoundedFileRead Refuse(Status status, std::string problem) {
    BoundedFileRead result;
    result.status = status;
    result.problem = std::move(problem);
    return result;
}

std::string TooLarge(size_t maxBytes) {
    return "it is larger than " + std::to_string(maxBytes) + " bytes";
}

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
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (links == FileLinks::Refuse) {
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;  // opens the link itself, to be refused below
    }
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return Refuse(Status::Missing, SystemMessage(error));
        }
        return Refuse(Status::Failed, SystemMessage(error));
    }
    BoundedFileRead result;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        // Pipes, consoles and devices.
        result = Refuse(Status::Refused, "it is not a regular file");
    } else if (!GetFileInformationByHandle(file, &info)) {
        result = Refuse(Status::Failed, SystemMessage(GetLastError()));
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result = Refuse(Status::Refused, "it is not a regular file");
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
               links == FileLinks::Refuse) {
        result = Refuse(Status::Refused, "it is a symbolic link");
    } else {
        const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        if (size > maxBytes) {
            result = Refuse(Status::Refused, TooLarge(maxBytes));
        } else {
            result.status = Status::Read;
            result.text.reserve(static_cast<size_t>(size));
            char buffer[8192];
            // One byte beyond the limit tells a file that grew from one that ends there.
            while (result.text.size() <= maxBytes) {
                const DWORD want = static_cast<DWORD>(
                    std::min<size_t>(sizeof buffer, maxBytes + 1 - result.text.size()));
                DWORD count = 0;
                if (!ReadFile(file, buffer, want, &count, nullptr)) {
                    result = Refuse(Status::Failed, SystemMessage(GetLastError()));
                    break;
                }
                if (count == 0) {
                    break;
                }
                result.text.append(buffer, count);
            }
            if (result.status == Status::Read && result.text.size() > maxBytes) {
                result = Refuse(Status::Refused, TooLarge(maxBytes));
            }
        }
    }
    CloseHandle(file);
    return result;
}

}  // namespace pellquin
