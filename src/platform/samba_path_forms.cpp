#include "platform/samba_path_forms.h"

namespace pellquin {

std::string SambaServerForm(const std::string& localPath) {
    if (localPath.empty() || localPath[0] != '/') {
        return localPath;
    }
    std::string form = "C:" + localPath;
    for (char& c : form) {
        if (c == '/') {
            c = '\\';
        }
    }
    return form;
}

std::string UnixPathOfServerPath(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') {
        return path;
    }
    std::string converted = path.substr(2);
    for (char& c : converted) {
        if (c == '\\') {
            c = '/';
        }
    }
    return converted;
}

}  // namespace pellquin
