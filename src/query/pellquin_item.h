#pragma once

#include <cstdint>
#include <string>

namespace pellquin {

// Bits of TPellquinItem::Permissions. Other bits are carried but never shown.
constexpr uint32_t PERM_FILE_READ = 1;
constexpr uint32_t PERM_FILE_WRITE = 2;
constexpr uint32_t PERM_FILE_CREATE = 4;

// One open-file handle on a server, as the server reports it.
class TPellquinItem {
public:
    std::string PathName;  // full path in the server's own form, e.g. "D:\Data\q1.xls"
    std::string UserName;
    uint32_t Id = 0;  // the server's handle id; the key for closing it
    uint32_t Permissions = 0;
    uint32_t NumLocks = 0;
};

}  // namespace pellquin
