#include "cli/cli_options.h"

#include <cerrno>
#include <cmath>
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

// Seconds as a decimal number, at most a week; to the millisecond.
bool ParseSeconds(const std::string& text, std::chrono::milliseconds* value) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(seconds) || seconds > 7 * 24 * 3600.0) {
        return false;
    }
    *value = std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
    return true;
}

// An argument that reads as an option: a dash and then a letter or dash. "-5" is an id and
// "-" alone a name.
bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
}

}  // namespace

const char* CliUsage() {
    return "Usage: pellquin-cli [options] check [--user NAME]... [--match TEXT]\n"
           "                                  [--watch SECONDS] PATH...\n"
           "       pellquin-cli [options] close PATH ID...\n"
           "       pellquin-cli [options] close [--yes] --user NAME... | --match TEXT | --all\n"
           "                                  PATH\n"
           "       pellquin-cli [options] wait [--timeout SECONDS] [--interval SECONDS]\n"
           "                                 [--user NAME]... [--match TEXT] PATH\n"
           "\n"
           "Lists the files held open under PATH on its server, closes open-file handles\n"
           "there (by id, or those of a user), or waits until nothing is open there. PATH is\n"
           "a local path, a path on a mounted SMB share, or a UNC name\n"
           "(\\\\server\\share\\path, //server/share/path or smb://server/share/path).\n"
           "\n"
           "Options:\n"
           "  --mechanism direct|service|both  how to ask the server (default: both, direct\n"
           "                                   first, then the Pellquin service)\n"
           "  --credentials FILE               authentication file (username =, password =,\n"
           "                                   domain =), mode 0600; default\n"
           "                                   $XDG_CONFIG_HOME/pellquin/credentials\n"
           "  --codepage NAME                  code page of the Pellquin service's texts\n"
           "                                   (default: the ServiceCodePage setting, else\n"
           "                                   Windows-1252 on Linux, the ANSI code page on\n"
           "                                   Windows); UTF-8 keeps every name between\n"
           "                                   Linux peers\n"
           "  --server-relative                show file names as the server reports them\n"
           "  --json | --csv                   machine-readable output; with several paths\n"
           "                                   each row carries its path\n"
           "  --user NAME                      only rows of this user (repeatable; any case;\n"
           "                                   NAME also matches DOMAIN\\NAME)\n"
           "  --match TEXT                     only rows whose file or user name contains\n"
           "                                   TEXT (any case)\n"
           "  --all                            close: every handle under PATH\n"
           "  --yes                            close: do not ask (needed off a terminal)\n"
           "  --watch SECONDS                  check: again every SECONDS, in place on a\n"
           "                                   terminal, until interrupted\n"
           "  --timeout SECONDS                wait: give up after SECONDS (default: never)\n"
           "  --interval SECONDS               wait: check every SECONDS (default: 2)\n"
           "  --help                           this text\n"
           "  --version                        the program's version\n"
           "\n"
           "Exit status: 0 done (wait: nothing open); 1 a check or a close failed (close:\n"
           "not every handle closed; wait: time-out, what is open is printed); 2 usage error\n"
           "or close not confirmed; 3 the Pellquin service declined or did not answer.\n";
}

std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions* options) {
    std::vector<std::string> positional;
    bool json = false;
    bool csv = false;
    bool timeoutGiven = false;
    bool intervalGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            *out = args[++i];
            return true;
        };
        std::string text;
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
        } else if (arg == "--codepage") {
            if (!value(&text) || text.empty()) {
                return "--codepage needs a code page name, such as Windows-1252 or UTF-8";
            }
            options->codePage = text;
        } else if (arg == "--server-relative") {
            options->serverRelative = true;
        } else if (arg == "--json") {
            json = true;
            options->format = CliOptions::Format::Json;
        } else if (arg == "--csv") {
            csv = true;
            options->format = CliOptions::Format::Csv;
        } else if (arg == "--user") {
            if (!value(&text) || text.empty()) {
                return "--user needs a user name";
            }
            options->users.push_back(text);
        } else if (arg == "--match") {
            if (!value(&options->match) || options->match.empty()) {
                return "--match needs a text";
            }
        } else if (arg == "--all") {
            options->closeAll = true;
        } else if (arg == "--yes" || arg == "-y") {
            options->yes = true;
        } else if (arg == "--timeout" || arg == "--interval" || arg == "--watch") {
            std::chrono::milliseconds seconds{};
            if (!value(&text) || !ParseSeconds(text, &seconds)) {
                return arg + " needs a number of seconds (at most 604800)";
            }
            if (arg == "--timeout") {
                options->timeout = seconds;
                timeoutGiven = true;
            } else {
                if (seconds.count() <= 0) {
                    return arg + " needs more than 0 seconds";
                }
                if (arg == "--watch") {
                    options->watch = seconds;
                } else {
                    options->interval = seconds;
                    intervalGiven = true;
                }
            }
        } else if (arg == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                              args.end());
            break;
        } else if (LooksLikeOption(arg)) {
            return "unknown option '" + arg + "'";
        } else {
            positional.push_back(arg);
        }
    }
    if (json && csv) {
        return "--json and --csv cannot be used together";
    }
    if (positional.empty()) {
        return "no command given: use check, close or wait";
    }
    const std::string& command = positional[0];
    const bool selection = options->ClosesBySelection();
    if (command == "check") {
        if (positional.size() < 2) {
            return "check takes at least one path";
        }
        options->command = CliOptions::Command::Check;
        options->paths.assign(positional.begin() + 1, positional.end());
    } else if (command == "close") {
        options->command = CliOptions::Command::Close;
        if (options->closeAll && (!options->users.empty() || !options->match.empty())) {
            return "close --all closes every handle: leave out --user and --match";
        }
        if (selection) {
            if (positional.size() != 2) {
                return "close --user, --match or --all takes one path and no ids";
            }
        } else if (positional.size() < 3) {
            return "close takes a path and at least one id";
        }
        options->paths.assign(1, positional[1]);
        for (size_t i = 2; i < positional.size(); ++i) {
            uint32_t id = 0;
            if (!ParseId(positional[i], &id)) {
                return "'" + positional[i] + "' is not an open-file id";
            }
            options->ids.push_back(id);
        }
    } else if (command == "wait") {
        if (positional.size() != 2) {
            return "wait takes exactly one path";
        }
        options->command = CliOptions::Command::Wait;
        options->paths.assign(1, positional[1]);
    } else {
        return "unknown command '" + command + "': use check, close or wait";
    }
    // Options that the command would silently ignore are mistakes in a script.
    const bool isCheck = options->command == CliOptions::Command::Check;
    const bool isClose = options->command == CliOptions::Command::Close;
    const bool isWait = options->command == CliOptions::Command::Wait;
    if (options->watch && !isCheck) {
        return "--watch is for check";
    }
    if ((timeoutGiven || intervalGiven) && !isWait) {
        return std::string(timeoutGiven ? "--timeout" : "--interval") + " is for wait";
    }
    if ((options->closeAll || options->yes) && !isClose) {
        return std::string(options->closeAll ? "--all" : "--yes") + " is for close";
    }
    for (const std::string& path : options->paths) {
        if (path.empty()) {
            return "the path is empty";
        }
    }
    options->path = options->paths[0];
    return std::string();
}

}  // namespace pellquin
