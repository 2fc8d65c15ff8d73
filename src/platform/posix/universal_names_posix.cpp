#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/mount_table.h"
#include "platform/universal_names.h"

namespace pellquin {
namespace {

// Network mounts stand in for mapped drives: a path under a cifs/smb3 (or GVfs smb) mount
// resolves to its UNC name, "//server/share/..." is a UNC name written with slashes, and
// every other path is local. Paths may be written with '\' as well as '/'.
class UniversalNamesPosix : public UniversalNames {
public:
    uint32_t GetUniversalName(const std::string& localPath, std::string* unc) override {
        if (const auto name = UncNameFromSlashes(localPath)) {
            *unc = *name;
            return 0;
        }
        std::string path = localPath;
        for (char& c : path) {
            if (c == '\\') {
                c = '/';
            }
        }
        if (path.empty() || path[0] != '/') {
            char cwd[4096];
            if (getcwd(cwd, sizeof cwd) == nullptr) {
                return kErrorNotConnected;
            }
            path = std::string(cwd) + "/" + path;
        }
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        std::ifstream in("/proc/self/mountinfo");
        std::stringstream text;
        text << in.rdbuf();
        if (const auto name = UncNameForMountedPath(path, ParseMountInfo(text.str()))) {
            *unc = *name;
            return 0;
        }
        return kErrorNotConnected;
    }
};

}  // namespace

std::unique_ptr<UniversalNames> MakeUniversalNames() {
    return std::make_unique<UniversalNamesPosix>();
}

}  // namespace pellquin
