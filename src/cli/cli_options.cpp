#include "cli/cli_options.h"

#include <cerrno>
#include <cstdlib>

namespace pellquin {
namespace {

// Accepts an id as the server reports it or as pellquin shows it (negative above 2^31-1).
bool ParseId(const std::string& text, uint32_t* id) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < -2147483648LL || value > 4294967295LL) {
        return false;
    }
    *id = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

const char* CliUsage() {
    return "Usage: pellquin-cli [options] check PATH\n"
           "       pellquin-cli [options] close PATH ID...\n"
           "\n"
           "Lists the files held open under PATH on its server, or closes open-file handles\n"
           "there by id. PATH is a local path, a path on a mounted SMB share, or a UNC name\n"
           "(\\\\server\\share\\path or //server/share/path).\n"
           "\n"
           "Options:\n"
           "  --mechanism direct|service|both  how to ask the server (default: both, direct\n"
           "                                   first, then the Pellquin service)\n"
           "  --credentials FILE               authentication file (username =, password =,\n"
           "                                   domain =), mode 0600; default\n"
           "                                   $XDG_CONFIG_HOME/pellquin/credentials\n"
           "  --server-relative                show file names as the server reports them\n"
           "  --json | --csv                   machine-readable output\n"
           "  --help                           this text\n"
           "  --version                        the program's version\n";
}

std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions* options) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            *out = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options->command = CliOptions::Command::Help;
            return std::string();
        } else if (arg == "--version") {
            options->command = CliOptions::Command::Version;
            return std::string();
        } else if (arg == "--mechanism") {
            std::string mechanism;
            if (!value(&mechanism)) {
                return "--mechanism needs a value: direct, service or both";
            }
            if (mechanism == "direct") {
                options->tryDirect = 1;
                options->tryService = 0;
            } else if (mechanism == "service") {
                options->tryDirect = 0;
                options->tryService = 1;
            } else if (mechanism == "both") {
                options->tryDirect = 1;
                options->tryService = 1;
            } else {
                return "unknown mechanism '" + mechanism + "': use direct, service or both";
            }
        } else if (arg == "--credentials") {
            if (!value(&options->credentialsFile) || options->credentialsFile.empty()) {
                return "--credentials needs a file name";
            }
        } else if (arg == "--server-relative") {
            options->serverRelative = true;
        } else if (arg == "--json") {
            options->format = CliOptions::Format::Json;
        } else if (arg == "--csv") {
            options->format = CliOptions::Format::Csv;
        } else if (arg == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                              args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            return "unknown option '" + arg + "'";
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.empty()) {
        return "no command given: use check or close";
    }
    const std::string& command = positional[0];
    if (command == "check") {
        if (positional.size() != 2) {
            return "check takes exactly one path";
        }
        options->command = CliOptions::Command::Check;
    } else if (command == "close") {
        if (positional.size() < 3) {
            return "close takes a path and at least one id";
        }
        options->command = CliOptions::Command::Close;
        for (size_t i = 2; i < positional.size(); ++i) {
            uint32_t id = 0;
            if (!ParseId(positional[i], &id)) {
                return "'" + positional[i] + "' is not an open-file id";
            }
            options->ids.push_back(id);
        }
    } else {
        return "unknown command '" + command + "': use check or close";
    }
    options->path = positional[1];
    if (options->path.empty()) {
        return "the path is empty";
    }
    return std::string();
}

}  // namespace pellquin
