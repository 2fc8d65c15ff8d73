#include "platform/mount_table.h"

#include <sstream>

#include "platform/smb_url.h"

namespace pellquin {
namespace {

std::string Unescape(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '7' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::string ToBackslashes(std::string text) {
    for (char& c : text) {
        if (c == '/') {
            c = '\\';
        }
    }
    return text;
}

// "rest" below `prefix` when path equals prefix or continues it with '/'.
std::optional<std::string> Below(const std::string& path, const std::string& prefix) {
    if (prefix == "/") {
        return path.substr(1);
    }
    if (path.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    if (path.size() == prefix.size()) {
        return std::string();
    }
    if (path[prefix.size()] != '/') {
        return std::nullopt;
    }
    return path.substr(prefix.size() + 1);
}

std::string JoinUnc(const std::string& server, const std::string& share, std::string rest) {
    while (!rest.empty() && rest.front() == '/') {
        rest.erase(0, 1);
    }
    std::string unc = "\\\\" + server + "\\" + share;
    if (!rest.empty()) {
        unc += "\\" + ToBackslashes(rest);
    }
    return unc;
}

std::optional<std::string> FromGvfs(const std::string& path) {
    const std::string marker = "/smb-share:";
    const auto at = path.find(marker);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const auto end = path.find('/', at + 1);
    const std::string options =
        path.substr(at + marker.size(),
                    end == std::string::npos ? std::string::npos : end - at - marker.size());
    std::string server;
    std::string share;
    std::istringstream in(options);
    std::string item;
    while (std::getline(in, item, ',')) {
        const auto eq = item.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = item.substr(0, eq);
        // GVfs (1.50, seen with a real mount) percent-encodes ",", "=", "%" and blanks in
        // the values of its mount names and writes non-ASCII letters as plain UTF-8
        // ("share=umsatz%2C%20100%25%20%3D%20über"); both decode here. It folds the share
        // name to lower case, before it even connects, so the UNC name carries that folded
        // name, which the server matches regardless of case. The folders and files below the
        // mount carry their real names: a folder "a b%20c" is listed as "a b%20c", so the
        // rest of the path is not decoded.
        if (key == "server") {
            server = PercentDecoded(item.substr(eq + 1));
        } else if (key == "share") {
            share = PercentDecoded(item.substr(eq + 1));
        }
    }
    if (server.empty() || share.empty()) {
        return std::nullopt;
    }
    return JoinUnc(server, share, end == std::string::npos ? std::string() : path.substr(end));
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountEntry> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> parts;
        std::string field;
        while (fields >> field) {
            parts.push_back(field);
        }
        // id parent major:minor root mountpoint options [optional...] - fstype source superopts
        size_t dash = 6;
        while (dash < parts.size() && parts[dash] != "-") {
            ++dash;
        }
        if (parts.size() < 5 || dash + 2 >= parts.size()) {
            continue;
        }
        mounts.push_back({Unescape(parts[3]), Unescape(parts[4]), parts[dash + 1],
                          Unescape(parts[dash + 2]), parts[2]});
    }
    return mounts;
}

std::optional<std::string> UncNameForMountedPath(const std::string& path,
                                                 const std::vector<MountEntry>& mounts) {
    const MountEntry* best = nullptr;
    std::string bestRest;
    for (const auto& mount : mounts) {
        const auto rest = Below(path, mount.mountPoint);
        if (rest && (!best || mount.mountPoint.size() >= best->mountPoint.size())) {
            best = &mount;
            bestRest = *rest;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    if (best->fsType == "cifs" || best->fsType == "smb3") {
        // The source is "//server/share" with an optional prefix path below the share.
        const std::string& source = best->source;
        if (source.size() < 3 || source[0] != '/' || source[1] != '/') {
            return std::nullopt;
        }
        const auto serverEnd = source.find('/', 2);
        if (serverEnd == std::string::npos) {
            return std::nullopt;
        }
        const std::string server = source.substr(2, serverEnd - 2);
        const auto shareEnd = source.find('/', serverEnd + 1);
        const std::string share =
            source.substr(serverEnd + 1, shareEnd == std::string::npos ? std::string::npos
                                                                       : shareEnd - serverEnd - 1);
        std::string prefix =
            shareEnd == std::string::npos ? std::string() : source.substr(shareEnd);
        while (!prefix.empty() && prefix.back() == '/') {
            prefix.pop_back();
        }
        // A bind mount of a folder inside the share shows that folder as its root; some
        // kernels show a prefix path there as well as in the source.
        std::string root = best->root;
        while (!root.empty() && root.back() == '/') {
            root.pop_back();
        }
        const bool rootInPrefix =
            prefix.size() >= root.size() &&
            prefix.compare(prefix.size() - root.size(), root.size(), root) == 0;
        std::string rest = rootInPrefix ? prefix : prefix + root;
        if (!bestRest.empty()) {
            rest += "/" + bestRest;
        }
        if (server.empty() || share.empty()) {
            return std::nullopt;
        }
        return JoinUnc(server, share, rest);
    }
    if (best->fsType.rfind("fuse.gvfs", 0) == 0) {
        return FromGvfs(path);
    }
    return std::nullopt;
}

std::optional<std::string> UncNameFromSlashes(const std::string& path) {
    if (path.size() < 3) {
        return std::nullopt;
    }
    const bool slashes = path[0] == '/' && path[1] == '/';
    const bool backslashes = path[0] == '\\' && path[1] == '\\';
    if (!slashes && !backslashes) {
        return std::nullopt;
    }
    return ToBackslashes(path);
}

}  // namespace pellquin
