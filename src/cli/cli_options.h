#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellquin {

// What the command line of pellquin-cli asks for.
struct CliOptions {
    enum class Command { Check, Close, Wait, Help, Version };
    enum class Format { Table, Json, Csv };

    Command command = Command::Help;
    std::string path;                // the first of `paths`
    std::vector<std::string> paths;  // check takes several, close and wait one
    std::vector<uint32_t> ids;       // close by id only
    std::vector<std::string> users;  // --user, repeatable: rows of these users
    std::string match;               // --match: rows whose file or user name contains it
    bool closeAll = false;           // close --all: every handle under the path
    bool yes = false;                // close without asking
    std::optional<std::chrono::milliseconds> timeout;             // wait; none: for ever
    std::chrono::milliseconds interval{std::chrono::seconds(2)};  // wait
    std::optional<std::chrono::milliseconds> watch;               // check --watch
    std::string credentialsFile;
    // --codepage: the service records' code page; none: the ServiceCodePage setting, and
    // without one this system's default.
    std::optional<std::string> codePage;
    int tryDirect = 1;
    int tryService = 1;
    bool serverRelative = false;
    Format format = Format::Table;

    // Whether close acts on the rows a check finds (--user, --match, --all) rather than ids.
    bool ClosesBySelection() const { return closeAll || !users.empty() || !match.empty(); }
};

// Parses argv[1..]. Returns an empty string on success, else what is wrong with the line.
std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions* options);

// The usage text printed by --help and after a usage error.
const char* CliUsage();

}  // namespace pellquin
