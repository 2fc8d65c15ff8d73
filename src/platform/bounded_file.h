#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace pellquin {

// Reading a settings, credentials or configuration file whole, without letting the file
// decide what the reading costs: a FIFO or a device would block the reader or never end, and
// a huge file would fill the memory. Abstracted as one function with an adapter per OS.

enum class FileLinks {
    Follow,  // a symbolic link (a reparse point on Windows) is read through
    Refuse,  // a symbolic link at the path itself is refused
};

struct BoundedFileRead {
    enum class Status {
        Read,     // `text` holds the whole file
        Missing,  // nothing at the path
        Refused,  // not a regular file, a refused link, or longer than the limit
        Failed,   // the OS refused to open or read it (rights, I/O error)
    };
    Status status = Status::Failed;
    std::string text;
    // Why the file was not read, for a message after "<path>: ": for example "it is not a
    // regular file" or "it is larger than 65536 bytes". Empty when read.
    std::string problem;
    // The permission bits (st_mode & 07777) of the file read, taken from the open file so the
    // file judged is the file read; 0 on Windows, where access lists govern.
    uint32_t mode = 0;
};

// Opens `path` without blocking, makes sure it is a regular file and reads at most
// `maxBytes` of it; a file longer than that (also one that grows while it is read) is
// refused, and no more than `maxBytes` + 1 bytes are ever held.
BoundedFileRead ReadBoundedFile(const std::string& path, size_t maxBytes, FileLinks links);

// The adapters' shared part.

// A read that did not happen, with its status and problem.
BoundedFileRead UnreadFile(BoundedFileRead::Status status, std::string problem);

// Reads a regular file that an adapter has opened and found `size` bytes long: refuses one
// beyond `maxBytes`, else calls `read` for at most the room left (plus the one byte that
// tells a file that grew) until it returns 0 at the end, or -1 with *problem set.
using ReadFunction = std::function<int64_t(char* buffer, size_t room, std::string* problem)>;
BoundedFileRead ReadOpenedFile(uint64_t size, size_t maxBytes, const ReadFunction& read);

}  // namespace pellquin
