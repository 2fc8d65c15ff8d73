#include "platform/base_path_match.h"

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

}  // namespace pellquin
