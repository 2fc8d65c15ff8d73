#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellquin {

// The query service's wire records. Integers are little-endian, strings are 8-bit text in
// 255-byte fields (at most 254 bytes and a NUL); the two length prefixes are big-endian.
// Reserved and unread bytes are sent as zeros and never relied on when received.

constexpr size_t kStringFieldSize = 255;
constexpr size_t kMaxFieldText = kStringFieldSize - 1;
constexpr size_t kLengthPrefixSize = 4;
constexpr size_t kRequestRecordSize = 1284;
constexpr size_t kReplyHeaderSize = 776;
constexpr size_t kReplyRowSize = 524;

// Sent by the client after the handshake.
struct ServiceRequestRecord {
    std::string Server;        // offset 0
    std::string Share;         // 255
    std::string Path;          // 510: below the share, or the full local path
    uint8_t RequestKind = 0;   // 765: 1 query, 2 close
    uint32_t FileId = 0;       // 768: close only
    std::string UserName;      // 772
    std::string ComputerName;  // 1027
};

// The first 776 bytes of every reply body.
struct ServiceReplyHeader {
    std::string ErrorText;  // offset 4: empty when the service succeeded
    std::string BasePath;   // 259: the server's own path the rows were listed under
    int32_t RowCount = 0;   // 772: query replies
};

// One open-file handle, 524 bytes, following the header of a query reply.
struct ServiceReplyRow {
    std::string PathName;      // offset 0
    std::string UserName;      // 255
    uint32_t Id = 0;           // 512
    uint32_t Permissions = 0;  // 516
    uint32_t NumLocks = 0;     // 520
};

}  // namespace pellquin
