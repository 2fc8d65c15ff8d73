#include "browser/core/file_item.h"

#include "browser/core/browser_texts.h"
#include "browser/core/drive_item.h"

namespace pellquin {

FileItem MakeFileItem(const DirectoryEntry& entry, const std::string& shortDateFormat) {
    TimeStampFormatter times(PatternDateText(shortDateFormat));
    return MakeFileItem(entry, times);
}

FileItem MakeFileItem(const DirectoryEntry& entry, TimeStampFormatter& times) {
    FileItem item;
    item.caption = entry.name;
    item.tag = entry.directory ? kTagDirectory : kTagFile;
    item.image = entry.directory ? kImageFolder : kImageDocument;
    if (!entry.directory) {
        item.sizeText = SizeText(entry.size);
    }
    const LocalTime* stamps[3] = {&entry.lastWrite, &entry.lastAccess, &entry.creation};
    for (int i = 0; i < 3; ++i) {
        item.times[i] = times.Text(*stamps[i]);
        item.timeKeys[i] = TimeStampKey(*stamps[i]);
    }
    // Only ASCII letters fold; other bytes compare as they are.
    item.nameKey = item.caption;
    for (char& c : item.nameKey) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    item.sizeKey = LeadingNumber(item.sizeText);
    return item;
}

}  // namespace pellquin
