#pragma once

#include <cstdint>
#include <string>

#include "platform/directory_lister.h"

namespace pellquin {

constexpr int kTagFile = 1;
constexpr int kTagDirectory = 2;

// The file list's columns.
enum FileColumn : int {
    kFileColumnName = 0,
    kFileColumnSize = 1,
    kFileColumnModified = 2,
    kFileColumnAccessed = 3,
    kFileColumnCreated = 4,
    kFileColumnCount = 5
};

// One row of the file list: its texts, its tag (file or directory) and the keys the sort
// reads from those texts.
struct FileItem {
    std::string caption;
    int tag = kTagFile;
    int image = 0;
    std::string sizeText;  // empty for directories
    std::string times[3];  // last write, last access, creation
    std::string nameKey;   // the caption with ASCII a-z as A-Z
    uint64_t sizeKey = 0;  // the size text's leading number
    int64_t timeKeys[3] = {0, 0, 0};
};

class TimeStampFormatter;

// The item for one directory entry; dates in `shortDateFormat` (see TimeStampText).
FileItem MakeFileItem(const DirectoryEntry& entry, const std::string& shortDateFormat);
FileItem MakeFileItem(const DirectoryEntry& entry, TimeStampFormatter& times);

}  // namespace pellquin
