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
    // Connections served at once; one beyond this is closed as soon as it is accepted.
    size_t maxConnections = 512;
    // Connections served at once for one client address; always kept below maxConnections.
    size_t maxConnectionsPerClient = 256;
    // Reply bytes held for clients that have not read them yet, identical replies counted
    // once; beyond it the longest-waiting replies are dropped.
    size_t maxReplyBytes = 64 * 1024 * 1024;
    // Longest wait for the file server's answer to one request, in milliseconds; the
    // connection is closed after it.
    uint32_t answerTimeoutMs = 60000;
    // Size at which "Pellquin.log" is rotated to "Pellquin.log.1".
    uint64_t logMaxBytes = 10 * 1024 * 1024;
    // Limit on each read and on the reply's write, in milliseconds.
    uint32_t ioTimeoutMs = 10000;
    // The user the service runs as once it listens and has read its credentials; empty: it
    // keeps the rights it was started with (under systemd, the unit's User= sets it instead).
    std::string runAsUser;
    // Code page of the texts in the records (names as iconv knows them, "UTF-8" for Linux
    // peers that want every name); empty: Windows-1252 on Linux, on Windows always the
    // system's ANSI code page. Checked when the file is read.
    std::string codePage;
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
