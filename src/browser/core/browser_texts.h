#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/directory_lister.h"

namespace pellquin {

constexpr const char* kPlaceholderCaption = "Working...";
constexpr const char* kDrivesCaption = "Drives";
constexpr const char* kFavouritesCaption = "Favourite Paths";
constexpr const char* kAddFavouriteCaption = "Add New Favourite";
constexpr const char* kFavouriteSeparator = "|||";
constexpr const char* kCannotFindDirectory = "Cannot Find directory : ";
constexpr const char* kLoadingDirectories = "Loading Directories";
constexpr const char* kLoadingDirectoryContents = "Loading Directory Contents";
constexpr const char* kEmptyFavouritePath =
    "Please enter a valid path in UNC or drive letter format";
constexpr const char* kDeleteFavouriteQuestion = "Delete Favourite : ";
// The stored entry is split at its first "|||", so a description holding one would come back
// with a different description and path.
constexpr const char* kSeparatorInDescription = "A description cannot contain |||";

// A drive's caption: its local name, " (", the label or remote name, ")".
std::string DriveCaption(const std::string& localName, const std::string& text);

// A stored favourite: the description, "|||" and the path.
std::string FavouriteEntry(const std::string& description, const std::string& path);

struct FavouriteParts {
    std::string description;
    std::string path;
};

// Splits a stored favourite at the first "|||". An entry without one (only a hand-edited
// registry holds such) is all path, with an empty description.
FavouriteParts SplitFavourite(const std::string& entry);

// The file list's size text: whole kilobytes, truncated, then " KB" (1,023 bytes: "0 KB").
std::string SizeText(uint64_t bytes);

// The leading decimal number of a size text ("12 KB": 12; "": 0).
uint64_t LeadingNumber(const std::string& text);

// The date part of a time-stamp text. The program gives the system's short date format; tests
// and other callers may use a pattern (PatternDateText).
using DateTextFunction = std::function<std::string(const LocalTime& time)>;

// Dates written by a pattern: d/dd the day, M/MM (or m/mm) the month, yy/yyyy the year; text
// in single quotes and every other character are copied ("dd/MM/yyyy": "17/03/2004").
DateTextFunction PatternDateText(std::string pattern);

// The date in `shortDateFormat` (a pattern), then " h:nn am/pm" ("17/03/2004 3:05 pm").
// Empty for a time the file system does not keep.
std::string TimeStampText(const LocalTime& time, const std::string& shortDateFormat);

// TimeStampText for many entries: the date part of the last day formatted is kept, since
// the entries of one directory share few days.
class TimeStampFormatter {
public:
    explicit TimeStampFormatter(DateTextFunction dateText);
    std::string Text(const LocalTime& time);

private:
    DateTextFunction m_dateText;
    int m_lastDay = -1;
    std::string m_lastDate;
};

// Orders time stamps as their texts read: to the minute. 0 for a time not kept.
int64_t TimeStampKey(const LocalTime& time);

// The separator a path uses: its first '\' or '/'; '\' when it has none.
char SeparatorOf(const std::string& path);

// `path` with its separator appended unless it ends with one.
std::string WithTrailingSeparator(const std::string& path);

// The path of the entry `name` inside the directory `parent`.
std::string ChildPath(const std::string& parent, const std::string& name);

}  // namespace pellquin
