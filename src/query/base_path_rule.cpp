#include "query/base_path_rule.h"

namespace pellquin {
namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool PathIsAtOrBelow(const std::string& path, const std::string& basePath, bool exactCase) {
    if (path.size() < basePath.size()) {
        return false;
    }
    for (size_t i = 0; i < basePath.size(); ++i) {
        if (exactCase ? path[i] != basePath[i] : FoldAscii(path[i]) != FoldAscii(basePath[i])) {
            return false;
        }
    }
    return basePath.empty() || basePath.back() == '\\' || path.size() == basePath.size() ||
           path[basePath.size()] == '\\';
}

}  // namespace pellquin
