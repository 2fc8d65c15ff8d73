#pragma once

#include <string>

namespace pellquin {

// A file on another machine as "MACHINE:/absolute/path", MACHINE being an ssh destination
// ("host", "user@host", an alias); reached over ssh.
struct RemotePath {
    std::string machine;
    std::string path;
};

// Splits "MACHINE:/path"; false for local paths (they begin with "/"), UNC paths and anything
// else.
inline bool SplitRemotePath(const std::string& text, RemotePath* remote) {
    if (text.empty() || text[0] == '/' || text[0] == '\\' || text[0] == '-') {
        return false;
    }
    const size_t colon = text.find(":/");
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    remote->machine = text.substr(0, colon);
    remote->path = text.substr(colon + 1);
    return true;
}

}  // namespace pellquin
