// The "Check With Pellquin" entries of the Linux file managers: a KDE service menu, a Nemo
// action, a Caja action and, for GNOME Files, a nautilus-python extension (where that is
// installed) or a script under $XDG_DATA_HOME, and a Thunar custom action merged into
// $XDG_CONFIG_HOME/Thunar/uca.xml. Installation writes all of them or none.

#include "platform/posix/context_menu_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/context_menu.h"
#include "platform/desktop_entries.h"

namespace pellquin {
namespace {

std::string BaseDirectory(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    // The XDG rules ignore a relative or empty value.
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/" + fallback;
}

struct EntryFile {
    std::string path;
    mode_t mode;
};

EntryFile KdeFile() {
    return {BaseDirectory("XDG_DATA_HOME", ".local/share") +
                "/kio/servicemenus/pellquin-check-with-pellquin.desktop",
            0755};  // KDE runs service menus in the user's directory only when executable
}

EntryFile NautilusFile() {
    return {
        BaseDirectory("XDG_DATA_HOME", ".local/share") + "/nautilus/scripts/" + kContextMenuCaption,
        0755};
}

EntryFile NautilusExtensionFile() {
    return {BaseDirectory("XDG_DATA_HOME", ".local/share") +
                "/nautilus-python/extensions/pellquin_menu.py",
            0644};
}

EntryFile NemoFile() {
    return {BaseDirectory("XDG_DATA_HOME", ".local/share") + "/nemo/actions/pellquin.nemo_action",
            0644};
}

EntryFile CajaFile() {
    return {BaseDirectory("XDG_DATA_HOME", ".local/share") +
                "/file-manager/actions/pellquin-check-with-pellquin.desktop",
            0644};
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Whether GNOME Files loads Python extensions: nautilus-python's module in Files' extension
// directory (extensions-4 for Files 43 and later, extensions-3.0 before), in any of the
// library directories distributions use (/usr/lib/<multiarch> on Debian, /usr/lib64 on
// Fedora, /usr/lib on Arch).
bool HasNautilusPython(const std::string& root) {
    std::vector<std::string> libraries = {root + "/usr/lib", root + "/usr/lib64",
                                          root + "/usr/local/lib"};
    if (DIR* dir = ::opendir((root + "/usr/lib").c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                libraries.push_back(root + "/usr/lib/" + name);
            }
        }
        ::closedir(dir);
    }
    for (const std::string& library : libraries) {
        for (const char* api : {"extensions-4", "extensions-3.0"}) {
            if (IsRegularFile(library + "/nautilus/" + api + "/libnautilus-python.so")) {
                return true;
            }
        }
    }
    return false;
}

EntryFile ThunarFile() {
    return {BaseDirectory("XDG_CONFIG_HOME", ".config") + "/Thunar/uca.xml", 0644};
}

std::string Parent(const std::string& path) {
    return path.substr(0, path.find_last_of('/'));
}

// The system's default uca.xml: the first Thunar/uca.xml in $XDG_CONFIG_DIRS (default
// /etc/xdg). Thunar reads it only while the user has no file of their own, so a user file that
// is made must start from it. Empty when there is none.
std::string SystemThunarFile() {
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    const std::string dirs = value != nullptr && value[0] != '\0' ? value : "/etc/xdg";
    size_t begin = 0;
    while (begin <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', begin), dirs.size());
        const std::string dir = dirs.substr(begin, end - begin);
        if (!dir.empty() && dir[0] == '/') {
            const std::string path = dir + "/Thunar/uca.xml";
            struct stat info {};
            if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                return path;
            }
        }
        begin = end + 1;
    }
    return std::string();
}

// Where a write to `path` must go: a symbolic link (a dotfiles checkout, say) is written
// through to the file it names, not replaced by a file.
std::string WriteTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return target;
        }
        std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length <= 0) {
            return target;
        }
        link.resize(static_cast<size_t>(length));
        target = link[0] == '/' ? link : Parent(target) + "/" + link;
    }
    return target;
}

// The file's text; nullopt when it does not exist. Sets *failed when it exists and cannot be
// read.
std::optional<std::string> ReadFile(const std::string& path, bool* failed) {
    *failed = false;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        *failed = errno != ENOENT && errno != ENOTDIR;  // ENOTDIR: a file stands in the way
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *failed = true;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        *failed = true;
        return std::nullopt;
    }
    return text.str();
}

// Creates the missing directories above `path`, noting each one it made in `made`.
bool MakeParents(const std::string& path, std::vector<std::string>& made) {
    const std::string dir = Parent(path);
    if (dir.empty()) {
        return true;
    }
    struct stat info {};
    if (::stat(dir.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    if (!MakeParents(dir, made)) {
        return false;
    }
    if (::mkdir(dir.c_str(), 0755) != 0) {
        return false;
    }
    made.push_back(dir);
    return true;
}

// Replaces the file in one step (a temporary file beside it, renamed over it), so that a
// reader never sees half of it.
bool WriteFileAtomically(const std::string& path, const std::string& text, mode_t mode) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    size_t written = 0;
    while (ok && written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        written += ok ? static_cast<size_t>(n) : 0;
    }
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) {
        return true;
    }
    ::unlink(temp.c_str());
    return false;
}

// A file the user already has keeps its permissions when it is rewritten.
mode_t ExistingMode(const EntryFile& file) {
    struct stat info {};
    return ::stat(file.path.c_str(), &info) == 0 ? info.st_mode & 07777 : file.mode;
}

// One file that an installation writes or, for an entry that this system no longer uses,
// deletes (no `text`), with what was there before so that a failure can put it back.
struct Step {
    EntryFile file;
    std::optional<std::string> text;
    std::optional<std::string> before;
    mode_t beforeMode;
};

class DesktopContextMenu : public ContextMenu {
public:
    explicit DesktopContextMenu(std::string systemRoot) : m_systemRoot(std::move(systemRoot)) {}

    bool Install(const std::string& executable) override {
        m_warning.clear();
        std::vector<Step> plan;
        // GNOME Files shows a script only under Scripts; with nautilus-python the entry is an
        // extension at the top level instead, and an earlier installation's other form goes.
        const bool extension = HasNautilusPython(m_systemRoot);
        const std::pair<EntryFile, std::string> files[] = {
            {KdeFile(), KdeServiceMenu(executable)},
            {NemoFile(), NemoAction(executable)},
            {CajaFile(), CajaAction(executable)},
            extension ? std::make_pair(NautilusExtensionFile(), NautilusExtension(executable))
                      : std::make_pair(NautilusFile(), NautilusScript(executable)),
        };
        for (const auto& [file, text] : files) {
            if (!PlanStep(file, text, plan)) {
                return false;
            }
        }
        bool failed = false;
        const EntryFile unused = extension ? NautilusFile() : NautilusExtensionFile();
        const std::optional<std::string> old = ReadFile(unused.path, &failed);
        if (failed) {
            return false;
        }
        if (old && IsOurDesktopEntry(*old)) {
            plan.push_back({unused, std::nullopt, old, ExistingMode(unused)});
        }

        EntryFile thunar = ThunarFile();
        thunar.path = WriteTarget(thunar.path);
        std::optional<std::string> before = ReadFile(thunar.path, &failed);
        if (failed) {
            return false;
        }
        // Without a file of the user's, the system's default actions are where Thunar's list
        // starts; a file holding only ours would hide them.
        std::optional<std::string> base = before;
        std::string malformed = thunar.path;
        if (!base) {
            const std::string system = SystemThunarFile();
            if (!system.empty()) {
                bool systemFailed = false;
                base = ReadFile(system, &systemFailed);
                malformed = system;
            }
        }
        std::optional<std::string> merged = MergeThunarActions(base, ThunarAction(executable));
        if (merged) {
            thunar.mode = ExistingMode(thunar);
            plan.push_back({thunar, *merged, before, thunar.mode});
        } else {
            // Not a uca.xml we can add to: left as it is, and the other file managers get
            // their entries all the same.
            m_warning = "Thunar's custom actions file " + malformed +
                        " is malformed (it has no <actions> element), so \"" + kContextMenuCaption +
                        "\" was not added to Thunar. The other file managers have it.";
        }
        return Carry(plan);
    }

    std::string Warning() const override { return m_warning; }

    void Remove() override {
        for (const EntryFile& file :
             {KdeFile(), NemoFile(), CajaFile(), NautilusFile(), NautilusExtensionFile()}) {
            bool failed = false;
            const std::optional<std::string> text = ReadFile(file.path, &failed);
            if (text && IsOurDesktopEntry(*text)) {
                ::unlink(file.path.c_str());
            }
        }
        EntryFile thunar = ThunarFile();
        thunar.path = WriteTarget(thunar.path);
        bool failed = false;
        const std::optional<std::string> text = ReadFile(thunar.path, &failed);
        if (!text) {
            return;
        }
        const std::optional<std::string> without = MergeThunarActions(text, std::string());
        if (!without || *without == *text) {
            return;
        }
        // What is left is what Install started from when the user had no file (the system's
        // defaults, or no actions at all): the user had no file then, and has none again, so
        // that Thunar follows the system's defaults as before.
        const std::string system = SystemThunarFile();
        bool systemFailed = false;
        const std::optional<std::string> systemText =
            system.empty() ? std::nullopt : ReadFile(system, &systemFailed);
        const std::optional<std::string> started = MergeThunarActions(systemText, std::string());
        if ((systemText && *without == *systemText) || (started && *without == *started)) {
            ::unlink(thunar.path.c_str());
            return;
        }
        WriteFileAtomically(thunar.path, *without, ExistingMode(thunar));
    }

private:
    // Adds the writing of `text` to `file`; false when what is there cannot be read.
    static bool PlanStep(const EntryFile& file, const std::string& text, std::vector<Step>& plan) {
        bool failed = false;
        std::optional<std::string> before = ReadFile(file.path, &failed);
        if (failed) {
            return false;
        }
        plan.push_back({file, text, before, ExistingMode(file)});
        return true;
    }

    // Carries out every step, or none: after a failure it puts back what the earlier steps
    // changed and takes away the directories it made.
    static bool Carry(const std::vector<Step>& plan) {
        std::vector<std::string> madeDirectories;
        size_t done = 0;
        for (; done < plan.size(); ++done) {
            const Step& step = plan[done];
            const bool ok =
                step.text ? MakeParents(step.file.path, madeDirectories) &&
                                WriteFileAtomically(step.file.path, *step.text, step.file.mode)
                          : ::unlink(step.file.path.c_str()) == 0;
            if (!ok) {
                break;
            }
        }
        if (done == plan.size()) {
            return true;
        }
        while (done > 0) {
            const Step& step = plan[--done];
            if (step.before) {
                WriteFileAtomically(step.file.path, *step.before, step.beforeMode);
            } else {
                ::unlink(step.file.path.c_str());
            }
        }
        for (auto dir = madeDirectories.rbegin(); dir != madeDirectories.rend(); ++dir) {
            ::rmdir(dir->c_str());
        }
        return false;
    }

    std::string m_systemRoot;
    std::string m_warning;
};

}  // namespace

std::unique_ptr<ContextMenu> MakeDesktopContextMenu(std::string systemRoot) {
    return std::make_unique<DesktopContextMenu>(std::move(systemRoot));
}

std::unique_ptr<ContextMenu> MakeContextMenu() {
    return MakeDesktopContextMenu(std::string());
}

}  // namespace pellquin
