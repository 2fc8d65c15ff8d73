#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellquin {

// Where the query service listens, what it answers for and what it refuses. The defaults
// behave like every other peer of the protocol: anyone may query and close.
struct ServiceConfig {
    std::string listenAddress = "0.0.0.0";
    uint16_t port = 8021;
    // The Samba server the service answers for, as the network calls name it; empty: this
    // machine. The service never addresses any other server, whatever a record names.
    std::string sambaServer;
    // smbclient-style authentication file for that server; empty: the adapter's default.
    std::string credentialsFile;
    // Directory of "Pellquin.log"; empty: the system directory.
    std::string logDirectory;
    // Client addresses allowed to ask; empty: everyone.
    std::vector<std::string> allowedClients;
    bool refuseClose = false;
    // Open connections beyond this wait in the listen backlog until one ends.
    size_t maxConnections = 512;
    // Limit on each read and on the reply's write, in milliseconds.
    uint32_t ioTimeoutMs = 10000;
    // Test and benchmark aid: answer from a built-in server holding this many open files
    // instead of the real network calls (negative: off), each query taking cannedDelayMs.
    int cannedRows = -1;
    uint32_t cannedDelayMs = 0;
};

// What the command line asked for.
struct ServiceOptions {
    bool foreground = false;
    bool help = false;
    bool version = false;
    std::string configFile;  // empty: the default file, which may be missing
    // Values from the command line that override the configuration file.
    std::string listenAddress;
    int port = -1;
    std::string logDirectory;
    int cannedRows = -1;
    uint32_t cannedDelayMs = 0;
};

// Reads "key = value" lines ('#' starts a comment) over *config. Unknown keys and bad values
// are errors naming the line, so a typo never silently leaves a default in force.
bool ParseServiceConfig(const std::string& text, ServiceConfig* config, std::string* error);

// Parses the program's arguments (argv[0] excluded).
bool ParseServiceOptions(const std::vector<std::string>& args, ServiceOptions* options,
                         std::string* error);

// The configuration file named by the options (or the default one when it exists), with the
// command line's overrides applied. A file that others could have changed is refused.
bool LoadServiceConfig(const ServiceOptions& options, ServiceConfig* config, std::string* error);

// Usage text for --help and for a bad command line.
std::string ServiceUsage();

}  // namespace pellquin
