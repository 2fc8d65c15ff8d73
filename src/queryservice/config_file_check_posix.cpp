#include "queryservice/config_file_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

namespace pellquin {

std::string ConfigFileProblem(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return std::string();
    }
    std::ostringstream text;
    if (info.st_uid != 0 && info.st_uid != geteuid()) {
        text << path << " belongs to user " << info.st_uid
             << ", who is neither root nor the service's user; give it to root: chown root "
             << path;
    } else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        text << path << " may be changed by other users (mode 0" << std::oct
             << (info.st_mode & 0777) << "); allow its owner only to write it: chmod go-w " << path;
    }
    return text.str();
}

std::string DefaultConfigFile() {
    return "/etc/pellquin/PellquinService.conf";
}

}  // namespace pellquin
