#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellquin {

// What the command line of pellquin-cli asks for.
struct CliOptions {
    enum class Command { Check, Close, Help, Version };
    enum class Format { Table, Json, Csv };

    Command command = Command::Help;
    std::string path;
    std::vector<uint32_t> ids;  // close only
    std::string credentialsFile;
    int tryDirect = 1;
    int tryService = 1;
    bool serverRelative = false;
    Format format = Format::Table;
};

// Parses argv[1..]. Returns an empty string on success, else what is wrong with the line.
std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions* options);

// The usage text printed by --help and after a usage error.
const char* CliUsage();

}  // namespace pellquin
