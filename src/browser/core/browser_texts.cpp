#include "browser/core/browser_texts.h"

#include <cctype>

namespace pellquin {
namespace {

std::string Padded(int value, size_t digits) {
    std::string text = std::to_string(value);
    while (text.size() < digits) {
        text.insert(0, 1, '0');
    }
    return text;
}

std::string DateText(const LocalTime& time, const std::string& format) {
    std::string out;
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c == '\'') {
            const size_t end = format.find('\'', i + 1);
            out += format.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? format.size() : end + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) {
            ++run;
        }
        if (c == 'd') {
            out += run == 1 ? std::to_string(time.day) : Padded(time.day, 2);
        } else if (c == 'M' || c == 'm') {
            out += run == 1 ? std::to_string(time.month) : Padded(time.month, 2);
        } else if (c == 'y') {
            out += run <= 2 ? Padded(time.year % 100, 2) : Padded(time.year, 4);
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

}  // namespace

std::string DriveCaption(const std::string& localName, const std::string& text) {
    return localName + " (" + text + ")";
}

std::string FavouriteEntry(const std::string& description, const std::string& path) {
    return description + kFavouriteSeparator + path;
}

FavouriteParts SplitFavourite(const std::string& entry) {
    const std::string separator = kFavouriteSeparator;
    const size_t at = entry.find(separator);
    if (at == std::string::npos) {
        return {std::string(), entry};
    }
    return {entry.substr(0, at), entry.substr(at + separator.size())};
}

std::string SizeText(uint64_t bytes) {
    return std::to_string(bytes / 1024) + " KB";
}

uint64_t LeadingNumber(const std::string& text) {
    uint64_t value = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            break;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

DateTextFunction PatternDateText(std::string pattern) {
    return
        [pattern = std::move(pattern)](const LocalTime& time) { return DateText(time, pattern); };
}

std::string TimeStampText(const LocalTime& time, const std::string& shortDateFormat) {
    return TimeStampFormatter(PatternDateText(shortDateFormat)).Text(time);
}

TimeStampFormatter::TimeStampFormatter(DateTextFunction dateText)
    : m_dateText(std::move(dateText)) {}

std::string TimeStampFormatter::Text(const LocalTime& time) {
    if (time.year == 0) {
        return std::string();
    }
    const int day = (time.year * 100 + time.month) * 100 + time.day;
    if (day != m_lastDay) {
        m_lastDay = day;
        m_lastDate = m_dateText(time);
    }
    const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    std::string text;
    text.reserve(m_lastDate.size() + 10);
    text += m_lastDate;
    text += ' ';
    if (hour12 >= 10) {
        text += '1';
    }
    text += static_cast<char>('0' + hour12 % 10);
    text += ':';
    text += static_cast<char>('0' + time.minute / 10);
    text += static_cast<char>('0' + time.minute % 10);
    text += time.hour < 12 ? " am" : " pm";
    return text;
}

int64_t TimeStampKey(const LocalTime& time) {
    if (time.year == 0) {
        return 0;
    }
    return (((static_cast<int64_t>(time.year) * 100 + time.month) * 100 + time.day) * 100 +
            time.hour) *
               100 +
           time.minute;
}

char SeparatorOf(const std::string& path) {
    const size_t at = path.find_first_of("\\/");
    return at == std::string::npos ? '\\' : path[at];
}

std::string WithTrailingSeparator(const std::string& path) {
    if (!path.empty() && path.back() == SeparatorOf(path)) {
        return path;
    }
    return path + SeparatorOf(path);
}

std::string ChildPath(const std::string& parent, const std::string& name) {
    return WithTrailingSeparator(parent) + name;
}

}  // namespace pellquin
