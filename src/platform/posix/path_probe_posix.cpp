#include <fnmatch.h>
#include <glob.h>
#include <libsmbclient.h>
#include <sys/stat.h>

#include <string>

#include "platform/path_probe.h"
#include "platform/posix/smb_context.h"

namespace pellquin {
namespace {

bool HasWildcards(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

// Local paths through the file system; UNC paths through libsmbclient.
class PathProbePosix : public PathProbe {
public:
    explicit PathProbePosix(std::string credentialsFile) : m_smb(std::move(credentialsFile)) {}

    bool IsFile(const std::string& path) override {
        return IsUncPathText(path) ? IsRemoteFile(path) : IsLocalFile(path);
    }

    bool IsDirectory(const std::string& path) override { return IsDirectoryPath(path, &m_smb); }

private:
    static bool IsLocalFile(const std::string& path) {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0) {
            return !S_ISDIR(info.st_mode);
        }
        if (!HasWildcards(path)) {
            return false;
        }
        glob_t matches{};
        bool found = false;
        if (glob(path.c_str(), GLOB_NOSORT | GLOB_MARK, nullptr, &matches) == 0) {
            for (size_t i = 0; i < matches.gl_pathc && !found; ++i) {
                const std::string match = matches.gl_pathv[i];
                found = !match.empty() && match.back() != '/';
            }
        }
        globfree(&matches);
        return found;
    }

    bool IsRemoteFile(const std::string& path) {
        SMBCCTX* context = m_smb.Get();
        if (context == nullptr) {
            return false;
        }
        const std::string url = SmbUrlOf(path);
        struct stat info {};
        if (smbc_getFunctionStat(context)(context, url.c_str(), &info) == 0) {
            return !S_ISDIR(info.st_mode);
        }
        const size_t slash = url.rfind('/');
        const std::string pattern = url.substr(slash + 1);
        if (!HasWildcards(pattern) || slash <= 6) {
            return false;
        }
        SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, url.substr(0, slash).c_str());
        if (dir == nullptr) {
            return false;
        }
        bool found = false;
        while (const smbc_dirent* entry = smbc_getFunctionReaddir(context)(context, dir)) {
            if (entry->smbc_type == SMBC_FILE && fnmatch(pattern.c_str(), entry->name, 0) == 0) {
                found = true;
                break;
            }
        }
        smbc_getFunctionClosedir(context)(context, dir);
        return found;
    }

    SmbContext m_smb;
};

}  // namespace

std::unique_ptr<PathProbe> MakePathProbe(const std::string& credentialsFile) {
    return std::make_unique<PathProbePosix>(credentialsFile);
}

}  // namespace pellquin
