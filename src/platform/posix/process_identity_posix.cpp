#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/process_identity.h"

namespace pellquin {

bool DropToUser(const std::string& user, std::string* error) {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    const int lookup = getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (lookup != 0 || found == nullptr) {
        *error = "there is no user '" + user + "'";
        return false;
    }
    const uid_t uid = entry.pw_uid;
    const gid_t gid = entry.pw_gid;
    // Groups first: once the user id has changed, the group lists may no longer be changed.
    if (initgroups(entry.pw_name, gid) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
        *error = "cannot run as '" + user + "': " + std::strerror(errno);
        return false;
    }
    if (uid != 0 && (setuid(0) == 0 || seteuid(0) == 0)) {
        *error = "running as '" + user + "' could be undone";
        return false;
    }
    return true;
}

}  // namespace pellquin
