#include "platform/credentials_file.h"

#include <sstream>

namespace pellquin {
namespace {

std::string Trim(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) {
        return std::string();
    }
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

bool ParseCredentials(const std::string& text, SmbCredentials* credentials, std::string* error) {
    SmbCredentials parsed;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';') {
            continue;
        }
        const auto eq = trimmed.find('=');
        if (eq == std::string::npos) {
            *error = "line " + std::to_string(number) + ": expected \"name = value\"";
            return false;
        }
        const std::string name = Trim(trimmed.substr(0, eq));
        const std::string value = Trim(trimmed.substr(eq + 1));
        if (name == "username") {
            parsed.user = value;
        } else if (name == "password") {
            parsed.password = value;
        } else if (name == "domain") {
            parsed.domain = value;
        }
    }
    const auto separator = parsed.user.find_first_of("\\/");
    if (separator != std::string::npos) {
        if (parsed.domain.empty()) {
            parsed.domain = parsed.user.substr(0, separator);
        }
        parsed.user.erase(0, separator + 1);
    }
    if (parsed.user.empty()) {
        *error = "no \"username = \" line";
        return false;
    }
    *credentials = parsed;
    return true;
}

std::string CredentialsModeProblem(const std::string& path, uint32_t mode) {
    if ((mode & 077) == 0) {
        return std::string();
    }
    std::ostringstream text;
    text << "The credentials file " << path << " may be read by other users (mode 0" << std::oct
         << (mode & 0777) << "); allow its owner only: chmod 600 " << path;
    return text.str();
}

std::string DefaultCredentialsPath(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome != nullptr && *xdgConfigHome != '\0') {
        return std::string(xdgConfigHome) + "/pellquin/credentials";
    }
    if (home != nullptr && *home != '\0') {
        return std::string(home) + "/.config/pellquin/credentials";
    }
    return std::string();
}

}  // namespace pellquin
