// The registry on Linux: one REGEDIT4 text file per root in the user's configuration
// directory ($XDG_CONFIG_HOME/pellquin, else ~/.config/pellquin), named after the root:
// HKEY_CURRENT_USER.reg and HKEY_CLASSES_ROOT.reg. The files are what regedit imports, so a
// user can move settings to Windows and back.
//
// Every change rewrites the whole file through a temporary file in the same directory that
// is flushed and renamed over the hive: a crash leaves the old file or the new one, never a
// mixture. A file that cannot be parsed is renamed to "<name>.bad-<time>" and the hive
// starts empty; it is never overwritten in place. Before each call the file is checked for a
// change by another process. Changes hold an exclusive lock on the directory from reading the
// file to renaming the new one, so that concurrent processes never drop each other's changes.

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <vector>

#include "platform/registry.h"

namespace pellquin {
namespace {

std::string Fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

bool IsStringType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz;
}

// Key path components may not be empty; names may not hold line breaks or NULs, which the
// line-based file cannot carry.
bool IsValidName(const std::string& name) {
    return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

bool IsValidPath(const std::string& path) {
    if (path.empty()) {
        return true;
    }
    if (!IsValidName(path) || path.front() == '\\' || path.back() == '\\' ||
        path.find("\\\\") != std::string::npos) {
        return false;
    }
    return true;
}

struct Value {
    std::string name;  // as first written
    uint32_t type = kRegNone;
    std::string data;  // string types without their NUL
};

struct Key {
    std::string path;           // as first created; "" is the root
    std::vector<Value> values;  // in the order first written

    Value* Find(const std::string& name) {
        const std::string folded = Fold(name);
        for (Value& value : values) {
            if (Fold(value.name) == folded) {
                return &value;
            }
        }
        return nullptr;
    }
};

// Keys by folded path; the root ("") always exists.
struct Hive {
    std::map<std::string, Key> keys{{"", Key{}}};

    Key* Find(const std::string& path) {
        const auto it = keys.find(Fold(path));
        return it == keys.end() ? nullptr : &it->second;
    }

    bool HasSubkeys(const std::string& foldedPath) const {
        const std::string prefix = foldedPath.empty() ? std::string() : foldedPath + "\\";
        for (const auto& [folded, key] : keys) {
            if (!folded.empty() && folded != foldedPath &&
                folded.compare(0, prefix.size(), prefix) == 0) {
                return true;
            }
        }
        return false;
    }

    // Creates `path` and every missing key above it; returns whether anything was created.
    bool Create(const std::string& path) {
        bool created = false;
        size_t from = 0;
        while (!path.empty() && from != std::string::npos) {
            const size_t end = path.find('\\', from);
            const std::string prefix = path.substr(0, end);
            if (keys.emplace(Fold(prefix), Key{prefix, {}}).second) {
                created = true;
            }
            from = end == std::string::npos ? end : end + 1;
        }
        return created;
    }

    void RemoveTree(const std::string& foldedPath) {
        const std::string prefix = foldedPath + "\\";
        for (auto it = keys.begin(); it != keys.end();) {
            if (it->first == foldedPath || it->first.compare(0, prefix.size(), prefix) == 0) {
                it = keys.erase(it);
            } else {
                ++it;
            }
        }
    }
};

constexpr char kHeader[] = "REGEDIT4";

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string HexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (i != 0) {
            hex += ',';
        }
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

std::string FormatData(const Value& value) {
    if (value.type == kRegSz && IsValidName(value.data)) {
        return Quote(value.data);
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        uint32_t bits = 0;
        for (int i = 3; i >= 0; --i) {
            bits = (bits << 8) | static_cast<unsigned char>(value.data[i]);
        }
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", bits);
        return text;
    }
    // Strings that hold line breaks, and expandable strings as regedit writes them, go out
    // as bytes with their terminating NUL.
    const std::string bytes = IsStringType(value.type) ? value.data + '\0' : value.data;
    if (value.type == kRegBinary) {
        return "hex:" + HexBytes(bytes);
    }
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", value.type);
    return type + HexBytes(bytes);
}

std::string FormatHive(const Hive& hive, const std::string& rootName) {
    std::string text = std::string(kHeader) + "\r\n\r\n";
    for (const auto& [folded, key] : hive.keys) {
        if (folded.empty() && key.values.empty()) {
            continue;
        }
        text += "[" + rootName + (key.path.empty() ? "" : "\\" + key.path) + "]\r\n";
        for (const Value& value : key.values) {
            text += (value.name.empty() ? std::string("@") : Quote(value.name)) + "=" +
                    FormatData(value) + "\r\n";
        }
        text += "\r\n";
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return std::string();
    }
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// Reads a quoted string starting at text[*pos] == '"'; moves *pos past the closing quote.
// Only \\ and \" are escapes; any other backslash stands for itself.
bool ParseQuoted(const std::string& text, size_t* pos, std::string* out) {
    if (*pos >= text.size() || text[*pos] != '"') {
        return false;
    }
    out->clear();
    for (size_t i = *pos + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            *pos = i + 1;
            return true;
        }
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            ++i;
        }
        *out += text[i];
    }
    return false;
}

bool ParseHexBytes(const std::string& text, std::string* bytes) {
    bytes->clear();
    const std::string trimmed = Trim(text);
    if (trimmed.empty()) {
        return true;
    }
    size_t start = 0;
    while (start <= trimmed.size()) {
        const size_t comma = trimmed.find(',', start);
        const std::string item = Trim(
            trimmed.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (item.empty() || item.size() > 2) {
            return false;
        }
        int byte = 0;
        for (char c : item) {
            const int digit = HexDigit(c);
            if (digit < 0) {
                return false;
            }
            byte = byte * 16 + digit;
        }
        *bytes += static_cast<char>(byte);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

// The data after '=': a quoted string, dword:, hex: or hex(type):. Sets *remove for "-".
bool ParseData(const std::string& text, Value* value, bool* remove) {
    *remove = false;
    if (text == "-") {
        *remove = true;
        return true;
    }
    if (!text.empty() && text[0] == '"') {
        size_t pos = 0;
        value->type = kRegSz;
        return ParseQuoted(text, &pos, &value->data) && Trim(text.substr(pos)).empty();
    }
    const std::string lower = Fold(text);
    if (lower.compare(0, 6, "dword:") == 0) {
        const std::string digits = Trim(text.substr(6));
        if (digits.empty() || digits.size() > 8) {
            return false;
        }
        uint32_t bits = 0;
        for (char c : digits) {
            const int digit = HexDigit(c);
            if (digit < 0) {
                return false;
            }
            bits = bits * 16 + static_cast<uint32_t>(digit);
        }
        value->type = kRegDword;
        value->data.clear();
        for (int i = 0; i < 4; ++i) {
            value->data += static_cast<char>((bits >> (8 * i)) & 0xFF);
        }
        return true;
    }
    size_t colon = std::string::npos;
    if (lower.compare(0, 4, "hex:") == 0) {
        value->type = kRegBinary;
        colon = 3;
    } else if (lower.compare(0, 4, "hex(") == 0) {
        const size_t close = lower.find("):", 4);
        if (close == std::string::npos || close == 4 || close > 12) {
            return false;
        }
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            const int digit = HexDigit(lower[i]);
            if (digit < 0) {
                return false;
            }
            type = type * 16 + static_cast<uint32_t>(digit);
        }
        value->type = type;
        colon = close + 1;
    } else {
        return false;
    }
    if (!ParseHexBytes(text.substr(colon + 1), &value->data)) {
        return false;
    }
    if (IsStringType(value->type) && !value->data.empty() && value->data.back() == '\0') {
        value->data.pop_back();
    }
    return true;
}

// Splits the text into logical lines: CR LF or LF endings, and hex data continued by a
// trailing backslash joined to its next line. Blank and ';' comment lines are dropped.
std::vector<std::pair<int, std::string>> LogicalLines(const std::string& text) {
    std::vector<std::pair<int, std::string>> lines;
    size_t start = 0;
    int number = 0;
    bool continued = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (continued) {
            lines.back().second += Trim(line);
        } else {
            const std::string trimmed = Trim(line);
            if (trimmed.empty() || trimmed[0] == ';') {
                continue;
            }
            lines.emplace_back(number, line);
        }
        std::string& last = lines.back().second;
        const std::string tail = Trim(last);
        continued = !tail.empty() && tail.back() == '\\' && tail[0] != '[' &&
                    Fold(last).find("=hex") != std::string::npos;
        if (continued) {
            last = tail.substr(0, tail.size() - 1);
        }
    }
    return lines;
}

// Parses a hive file of the root `rootName`. On failure returns the line number at fault.
std::optional<int> ParseHive(const std::string& fileText, const std::string& rootName, Hive* hive) {
    std::string text = fileText;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    *hive = Hive{};
    const auto lines = LogicalLines(text);
    if (lines.empty() || Trim(lines[0].second) != kHeader) {
        return lines.empty() ? 1 : lines[0].first;
    }
    Key* current = nullptr;
    const std::string foldedRoot = Fold(rootName);
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto& [number, raw] = lines[i];
        const std::string line = Trim(raw);
        if (line[0] == '[') {
            if (line.back() != ']') {
                return number;
            }
            std::string name = line.substr(1, line.size() - 2);
            const bool remove = !name.empty() && name[0] == '-';
            if (remove) {
                name.erase(0, 1);
            }
            std::string path;
            if (Fold(name) == foldedRoot) {
                path.clear();
            } else if (Fold(name.substr(0, foldedRoot.size() + 1)) == foldedRoot + "\\") {
                path = name.substr(foldedRoot.size() + 1);
            } else {
                return number;
            }
            if (path.empty() && remove) {
                return number;
            }
            if (!IsValidPath(path)) {
                return number;
            }
            if (remove) {
                hive->RemoveTree(Fold(path));
                current = nullptr;
            } else {
                hive->Create(path);
                current = hive->Find(path);
            }
            continue;
        }
        if (current == nullptr) {
            return number;
        }
        Value value;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, &pos, &value.name)) {
            return number;
        }
        const size_t equals = line.find_first_not_of(" \t", pos);
        if (equals == std::string::npos || line[equals] != '=') {
            return number;
        }
        bool remove = false;
        if (!ParseData(Trim(line.substr(equals + 1)), &value, &remove)) {
            return number;
        }
        if (remove) {
            auto& values = current->values;
            const std::string folded = Fold(value.name);
            for (auto it = values.begin(); it != values.end(); ++it) {
                if (Fold(it->name) == folded) {
                    values.erase(it);
                    break;
                }
            }
        } else if (Value* existing = current->Find(value.name)) {
            existing->type = value.type;
            existing->data = std::move(value.data);
        } else {
            current->values.push_back(std::move(value));
        }
    }
    return std::nullopt;
}

uint32_t StatusOf(int error) {
    return (error == EACCES || error == EPERM || error == EROFS) ? kRegAccessDenied : kRegIoFailed;
}

// Identifies one version of a file, so that a replacement by another process is noticed.
struct FileVersion {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileVersion& other) const {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

// Creates the hive directory, and its parent (~/.config) when that is missing too.
int EnsureDirectory(const std::string& directory) {
    if (mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST) {
        return 0;
    }
    const size_t slash = directory.rfind('/');
    if (slash == std::string::npos || slash == 0 ||
        (mkdir(directory.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) ||
        mkdir(directory.c_str(), 0700) != 0) {
        return errno;
    }
    return 0;
}

// An exclusive flock on the hive directory, shared by every process that changes a hive there.
// Re-entrant within one registry object. Where no lock can be had (read-only or network
// directory) changes go ahead unlocked; a change that then fails to write says so itself.
class DirectoryLock {
public:
    explicit DirectoryLock(std::string directory) : m_directory(std::move(directory)) {}

    class Hold {
    public:
        explicit Hold(DirectoryLock& lock) : m_lock(lock) { m_lock.Acquire(); }
        ~Hold() { m_lock.Release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        DirectoryLock& m_lock;
    };

private:
    void Acquire() {
        if (m_depth++ != 0 || EnsureDirectory(m_directory) != 0) {
            return;
        }
        m_fd = open(m_directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                close(m_fd);
                m_fd = -1;
            }
        }
    }

    void Release() {
        if (--m_depth == 0 && m_fd >= 0) {
            close(m_fd);  // drops the lock
            m_fd = -1;
        }
    }

    std::string m_directory;
    int m_depth = 0;
    int m_fd = -1;
};

class HiveFile {
public:
    HiveFile(std::string directory, std::string rootName, DirectoryLock& lock)
        : m_directory(std::move(directory)),
          m_rootName(std::move(rootName)),
          m_path(m_directory + "/" + m_rootName + ".reg"),
          m_lock(lock) {}

    // The hive as the file holds it now.
    Hive& Current() {
        Refresh();
        return m_hive;
    }

    // Writes `next` in place of the file; the hive in memory changes only when that worked.
    uint32_t Commit(Hive next) {
        if (!m_writable) {
            return kRegAccessDenied;
        }
        const uint32_t status = WriteAtomically(FormatHive(next, m_rootName));
        if (status == kRegSuccess) {
            m_hive = std::move(next);
            m_version = VersionOnDisk();
        }
        return status;
    }

private:
    FileVersion VersionOnDisk() const {
        FileVersion version;
        struct stat info {};
        if (stat(m_path.c_str(), &info) == 0) {
            version.exists = true;
            version.device = info.st_dev;
            version.inode = info.st_ino;
            version.size = info.st_size;
            version.modified = info.st_mtim;
        }
        return version;
    }

    void Refresh() {
        const FileVersion version = VersionOnDisk();
        if (m_loaded && version == m_version) {
            return;
        }
        m_loaded = true;
        m_version = version;
        m_hive = Hive{};
        m_writable = true;
        if (!version.exists) {
            return;
        }
        std::string text;
        if (!ReadFile(&text)) {
            // Unreadable: keep out of its way rather than replace what we cannot see.
            m_writable = false;
            return;
        }
        Hive parsed;
        if (!ParseHive(text, m_rootName, &parsed).has_value()) {
            m_hive = std::move(parsed);
            return;
        }
        MoveAside(version);
    }

    bool ReadFile(std::string* text) const {
        const int fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return errno == ENOENT;
        }
        char buffer[8192];
        ssize_t count = 0;
        while ((count = read(fd, buffer, sizeof buffer)) > 0) {
            text->append(buffer, static_cast<size_t>(count));
        }
        close(fd);
        return count == 0;
    }

    // Renames a damaged hive to "<name>.bad-<local time>" so that the user can repair it;
    // `damaged` is the version that failed to parse. When another process has replaced it
    // meanwhile, the replacement is left alone and read at the next call.
    void MoveAside(const FileVersion& damaged) {
        const DirectoryLock::Hold hold(m_lock);
        if (!(VersionOnDisk() == damaged)) {
            m_loaded = false;
            return;
        }
        char stamp[32];
        const time_t now = time(nullptr);
        tm local{};
        localtime_r(&now, &local);
        strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        std::string target = m_path + ".bad-" + stamp;
        struct stat info {};
        for (int n = 1; lstat(target.c_str(), &info) == 0; ++n) {
            target = m_path + ".bad-" + stamp + "-" + std::to_string(n);
        }
        if (rename(m_path.c_str(), target.c_str()) == 0) {
            m_version = VersionOnDisk();
        } else if (errno != ENOENT) {
            m_writable = false;
        }
    }

    uint32_t WriteAtomically(const std::string& text) const {
        if (const int error = EnsureDirectory(m_directory)) {
            return StatusOf(error);
        }
        std::string temporary = m_path + ".tmp.XXXXXX";
        const int fd = mkstemp(temporary.data());
        if (fd < 0) {
            return StatusOf(errno);
        }
        size_t written = 0;
        while (written < text.size()) {
            const ssize_t count = write(fd, text.data() + written, text.size() - written);
            if (count < 0) {
                if (errno == EINTR) {
                    continue;
                }
                break;
            }
            written += static_cast<size_t>(count);
        }
        int error = written == text.size() ? 0 : errno;
        if (error == 0 && fsync(fd) != 0) {
            error = errno;
        }
        if (close(fd) != 0 && error == 0) {
            error = errno;
        }
        if (error == 0 && rename(temporary.c_str(), m_path.c_str()) != 0) {
            error = errno;
        }
        if (error != 0) {
            unlink(temporary.c_str());
            return StatusOf(error);
        }
        // The directory is not flushed: after a power cut the rename may be undone, which
        // loses the last change but never mixes two versions, and saves stay twice as fast.
        return kRegSuccess;
    }

    std::string m_directory;
    std::string m_rootName;
    std::string m_path;
    DirectoryLock& m_lock;
    Hive m_hive;
    FileVersion m_version;
    bool m_loaded = false;
    bool m_writable = true;  // false while a file we could not read or move aside is there
};

class RegistryPosix : public Registry {
public:
    explicit RegistryPosix(const std::string& directory)
        : m_lock(directory),
          m_currentUser(directory, RegistryRootName(RegistryRoot::CurrentUser), m_lock),
          m_classesRoot(directory, RegistryRootName(RegistryRoot::ClassesRoot), m_lock) {}

    uint32_t CreateKey(RegistryRoot root, const std::string& path, uint32_t access,
                       RegistryHandle* key) override {
        *key = 0;
        if (!IsValidPath(path)) {
            return kRegInvalidParameter;
        }
        const DirectoryLock::Hold hold(m_lock);
        HiveFile& file = FileOf(root);
        Hive next = file.Current();
        if (next.Create(path)) {
            const uint32_t status = file.Commit(std::move(next));
            if (status != kRegSuccess) {
                return status;
            }
        }
        *key = AddHandle(root, path, access);
        return kRegSuccess;
    }

    uint32_t OpenKey(RegistryRoot root, const std::string& path, uint32_t access,
                     RegistryHandle* key) override {
        *key = 0;
        if (!IsValidPath(path)) {
            return kRegInvalidParameter;
        }
        if (FileOf(root).Current().Find(path) == nullptr) {
            return kRegFileNotFound;
        }
        *key = AddHandle(root, path, access);
        return kRegSuccess;
    }

    uint32_t QueryValue(RegistryHandle handle, const std::string& name, uint32_t* type,
                        std::string* data) override {
        Key* key = nullptr;
        const uint32_t status = Resolve(handle, kKeyQueryValue, &key);
        if (status != kRegSuccess) {
            return status;
        }
        const Value* value = key->Find(name);
        if (value == nullptr) {
            return kRegFileNotFound;
        }
        *type = value->type;
        *data = value->data;
        return kRegSuccess;
    }

    uint32_t SetValue(RegistryHandle handle, const std::string& name, uint32_t type,
                      const std::string& data) override {
        const DirectoryLock::Hold hold(m_lock);
        Key* key = nullptr;
        uint32_t status = Resolve(handle, kKeySetValue, &key);
        if (status != kRegSuccess) {
            return status;
        }
        if (!IsValidName(name)) {
            return kRegInvalidParameter;
        }
        const OpenedKey& opened = m_handles.at(handle);
        HiveFile& file = FileOf(opened.root);
        Hive next = file.Current();
        Key* target = next.Find(opened.path);
        if (target == nullptr) {
            return kRegKeyDeleted;  // a hand edit outside the lock removed it meanwhile
        }
        if (Value* existing = target->Find(name)) {
            existing->type = type;
            existing->data = data;
        } else {
            target->values.push_back(Value{name, type, data});
        }
        return file.Commit(std::move(next));
    }

    uint32_t DeleteValue(RegistryHandle handle, const std::string& name) override {
        const DirectoryLock::Hold hold(m_lock);
        Key* key = nullptr;
        const uint32_t status = Resolve(handle, kKeySetValue, &key);
        if (status != kRegSuccess) {
            return status;
        }
        if (key->Find(name) == nullptr) {
            return kRegFileNotFound;
        }
        const OpenedKey& opened = m_handles.at(handle);
        HiveFile& file = FileOf(opened.root);
        Hive next = file.Current();
        Key* target = next.Find(opened.path);
        if (target == nullptr) {
            return kRegKeyDeleted;
        }
        auto& values = target->values;
        const std::string folded = Fold(name);
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (Fold(it->name) == folded) {
                values.erase(it);
                break;
            }
        }
        return file.Commit(std::move(next));
    }

    uint32_t DeleteKey(RegistryHandle handle, const std::string& subKey) override {
        const DirectoryLock::Hold hold(m_lock);
        Key* key = nullptr;
        const uint32_t status = Resolve(handle, 0, &key);
        if (status != kRegSuccess) {
            return status;
        }
        if (subKey.empty() || !IsValidPath(subKey)) {
            return kRegInvalidParameter;
        }
        const OpenedKey& opened = m_handles.at(handle);
        const std::string path = opened.path.empty() ? subKey : opened.path + "\\" + subKey;
        HiveFile& file = FileOf(opened.root);
        Hive next = file.Current();
        if (next.Find(path) == nullptr) {
            return kRegFileNotFound;
        }
        if (next.HasSubkeys(Fold(path))) {
            return kRegAccessDenied;
        }
        next.keys.erase(Fold(path));
        return file.Commit(std::move(next));
    }

    uint32_t CloseKey(RegistryHandle handle) override {
        return m_handles.erase(handle) == 1 ? kRegSuccess : kRegInvalidHandle;
    }

private:
    struct OpenedKey {
        RegistryRoot root;
        std::string path;
        uint32_t access;
    };

    HiveFile& FileOf(RegistryRoot root) {
        return root == RegistryRoot::ClassesRoot ? m_classesRoot : m_currentUser;
    }

    RegistryHandle AddHandle(RegistryRoot root, const std::string& path, uint32_t access) {
        const RegistryHandle handle = m_nextHandle++;
        m_handles[handle] = OpenedKey{root, path, access};
        return handle;
    }

    // Finds the key behind an open handle that grants `needed`, as the file holds it now.
    uint32_t Resolve(RegistryHandle handle, uint32_t needed, Key** key) {
        const auto it = m_handles.find(handle);
        if (it == m_handles.end()) {
            return kRegInvalidHandle;
        }
        if ((it->second.access & needed) != needed) {
            return kRegAccessDenied;
        }
        *key = FileOf(it->second.root).Current().Find(it->second.path);
        return *key == nullptr ? kRegKeyDeleted : kRegSuccess;
    }

    DirectoryLock m_lock;  // before the hives, which refer to it
    HiveFile m_currentUser;
    HiveFile m_classesRoot;
    std::map<RegistryHandle, OpenedKey> m_handles;
    RegistryHandle m_nextHandle = 1;
};

std::string ConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored.
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/pellquin";
    }
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr && home[0] == '/' ? home : "";
    if (base.empty()) {
        const passwd* entry = getpwuid(geteuid());
        base = entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/tmp";
    }
    return base + "/.config/pellquin";
}

}  // namespace

std::unique_ptr<Registry> MakeRegistry() {
    return std::make_unique<RegistryPosix>(ConfigDirectory());
}

}  // namespace pellquin
