#include <windows.h>

#include "platform/directory_lister.h"

namespace pellquin {
namespace {

LocalTime ToLocal(const FILETIME& time) {
    FILETIME local;
    SYSTEMTIME fields;
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &fields)) {
        return LocalTime{};
    }
    return LocalTime{fields.wYear, fields.wMonth,  fields.wDay,
                     fields.wHour, fields.wMinute, fields.wSecond};
}

// Windows reaches UNC paths through its own redirector, with the logon session's rights.
class DirectoryListerWin32 : public DirectoryLister {
public:
    bool IsDirectory(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    void List(const std::string& path,
              const std::function<void(const DirectoryEntry&)>& onEntry) override {
        std::string pattern = path;
        if (pattern.empty() || pattern.back() != '\\') {
            pattern += '\\';
        }
        pattern += "*.*";
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(pattern.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) {
            return;
        }
        do {
            DirectoryEntry entry;
            entry.name = data.cFileName;
            entry.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry.size = entry.directory ? 0
                                         : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                               data.nFileSizeLow;
            entry.lastWrite = ToLocal(data.ftLastWriteTime);
            entry.lastAccess = ToLocal(data.ftLastAccessTime);
            entry.creation = ToLocal(data.ftCreationTime);
            onEntry(entry);
        } while (FindNextFileA(search, &data));
        FindClose(search);
    }
};

}  // namespace

std::unique_ptr<DirectoryLister> MakeDirectoryLister(const std::string& /*credentialsFile*/) {
    return std::make_unique<DirectoryListerWin32>();
}

}  // namespace pellquin
