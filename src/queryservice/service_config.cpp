#include "queryservice/service_config.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include <asio/ip/address.hpp>

#include "platform/bounded_file.h"
#include "platform/wire_text.h"
#include "queryservice/config_file_check.h"

namespace pellquin {
namespace {

// "key = value" lines for a handful of keys; a file far beyond this is no configuration.
constexpr size_t kMaxConfigBytes = 1024 * 1024;

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || parsed > max) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParsePort(const std::string& text, int* port) {
    unsigned long long value = 0;
    if (!ParseUnsigned(text, 65535, &value) || value == 0) {
        return false;
    }
    *port = static_cast<int>(value);
    return true;
}

bool ParseBool(const std::string& text, bool* value) {
    if (text == "yes" || text == "true" || text == "1" || text == "on") {
        *value = true;
        return true;
    }
    if (text == "no" || text == "false" || text == "0" || text == "off") {
        *value = false;
        return true;
    }
    return false;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::string item;
    std::istringstream stream(text);
    while (std::getline(stream, item, ',')) {
        item = Trim(item);
        if (!item.empty()) {
            items.push_back(item);
        }
    }
    return items;
}

// The allow-list in the form the server gives a peer's address: canonical text, and an
// IPv4-mapped IPv6 address as the IPv4 address it carries. Exact text comparison would
// otherwise never match "::ffff:10.0.0.5" or "0:0:0:0:0:0:0:1". An entry that is no address
// is an error, not an entry that silently matches nobody.
bool ParseAddressList(const std::string& text, std::vector<std::string>* addresses) {
    std::vector<std::string> parsed;
    for (const std::string& item : SplitList(text)) {
        asio::error_code error;
        asio::ip::address address = asio::ip::make_address(item, error);
        if (error) {
            return false;
        }
        if (address.is_v6() && address.to_v6().is_v4_mapped()) {
            address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
        }
        parsed.push_back(address.to_string());
    }
    *addresses = std::move(parsed);
    return true;
}

bool ApplySetting(const std::string& key, const std::string& value, ServiceConfig* config) {
    unsigned long long number = 0;
    if (key == "listen") {
        config->listenAddress = value;
        return !value.empty();
    }
    if (key == "port") {
        int port = 0;
        if (!ParsePort(value, &port)) {
            return false;
        }
        config->port = static_cast<uint16_t>(port);
        return true;
    }
    if (key == "samba_server") {
        config->sambaServer = value;
        return true;
    }
    if (key == "credentials_file") {
        config->credentialsFile = value;
        return true;
    }
    if (key == "log_dir") {
        config->logDirectory = value;
        return true;
    }
    if (key == "allow_clients") {
        return ParseAddressList(value, &config->allowedClients);
    }
    if (key == "refuse_close") {
        return ParseBool(value, &config->refuseClose);
    }
    if (key == "user") {
        config->runAsUser = value;
        return !value.empty();
    }
    if (key == "max_connections") {
        if (!ParseUnsigned(value, 100000, &number) || number == 0) {
            return false;
        }
        config->maxConnections = static_cast<size_t>(number);
        return true;
    }
    if (key == "io_timeout_ms") {
        if (!ParseUnsigned(value, 3600000, &number) || number == 0) {
            return false;
        }
        config->ioTimeoutMs = static_cast<uint32_t>(number);
        return true;
    }
    if (key == "max_connections_per_client") {
        if (!ParseUnsigned(value, 100000, &number) || number == 0) {
            return false;
        }
        config->maxConnectionsPerClient = static_cast<size_t>(number);
        return true;
    }
    if (key == "max_reply_bytes") {
        if (!ParseUnsigned(value, 1ull << 40, &number) || number < 1024 * 1024) {
            return false;
        }
        config->maxReplyBytes = static_cast<size_t>(number);
        return true;
    }
    if (key == "answer_timeout_ms") {
        if (!ParseUnsigned(value, 3600000, &number) || number == 0) {
            return false;
        }
        config->answerTimeoutMs = static_cast<uint32_t>(number);
        return true;
    }
    if (key == "log_max_bytes") {
        if (!ParseUnsigned(value, 1ull << 40, &number) || number < 64 * 1024) {
            return false;
        }
        config->logMaxBytes = number;
        return true;
    }
    return false;
}

bool IsKnownKey(const std::string& key) {
    static const char* const keys[] = {"listen",          "port",
                                       "samba_server",    "credentials_file",
                                       "log_dir",         "allow_clients",
                                       "refuse_close",    "max_connections",
                                       "io_timeout_ms",   "max_connections_per_client",
                                       "max_reply_bytes", "answer_timeout_ms",
                                       "log_max_bytes",   "user",
                                       "codepage"};
    for (const char* known : keys) {
        if (key == known) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseServiceConfig(const std::string& text, ServiceConfig* config, std::string* error) {
    std::istringstream stream(text);
    std::string line;
    int number = 0;
    while (std::getline(stream, line)) {
        ++number;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) {
            line.erase(hash);
        }
        line = Trim(line);
        if (line.empty()) {
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            *error = "line " + std::to_string(number) + ": expected key = value";
            return false;
        }
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        if (!IsKnownKey(key)) {
            *error = "line " + std::to_string(number) + ": unknown setting '" + key + "'";
            return false;
        }
        if (key == "codepage") {
            // The converter's own sentence says what is wrong with the name.
            std::string problem;
            if (!value.empty() && !MakeWireText(value, &problem)) {
                *error = "line " + std::to_string(number) + ": codepage: " + problem;
                return false;
            }
            config->codePage = value;
            continue;
        }
        if (!ApplySetting(key, value, config)) {
            *error =
                "line " + std::to_string(number) + ": bad value for " + key + ": '" + value + "'";
            return false;
        }
    }
    return true;
}

bool ParseServiceOptions(const std::vector<std::string>& args, ServiceOptions* options,
                         std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--foreground") {
            options->foreground = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            continue;
        }
        if (arg == "--version") {
            options->version = true;
            continue;
        }
        const bool takesValue =
            arg == "--listen" || arg == "--port" || arg == "--config" || arg == "--log-dir";
        if (!takesValue) {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            *error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--listen") {
            options->listenAddress = value;
        } else if (arg == "--port") {
            if (!ParsePort(value, &options->port)) {
                *error = "bad port '" + value + "'";
                return false;
            }
        } else if (arg == "--config") {
            options->configFile = value;
        } else {
            options->logDirectory = value;
        }
    }
    return true;
}

bool LoadServiceConfig(const ServiceOptions& options, ServiceConfig* config, std::string* error) {
    const bool named = !options.configFile.empty();
    const std::string path = named ? options.configFile : DefaultConfigFile();
    // Links are followed: an administrator may keep the file elsewhere; the owner and mode
    // checks judge the file linked to.
    const BoundedFileRead file = ReadBoundedFile(path, kMaxConfigBytes, FileLinks::Follow);
    using Status = BoundedFileRead::Status;
    if (file.status == Status::Read) {
        const std::string problem = ConfigFileProblem(path);
        if (!problem.empty()) {
            *error = problem;
            return false;
        }
        if (!ParseServiceConfig(file.text, config, error)) {
            *error = path + ": " + *error;
            return false;
        }
    } else if (named || file.status != Status::Missing) {
        // Only a default file that does not exist at all means the defaults: one that is
        // there but cannot be read may hold allow_clients or refuse_close, and running
        // without them would open the service wider than its administrator set it.
        *error = path + ": cannot be read" +
                 (file.status == Status::Missing ? std::string() : " (" + file.problem + ")");
        return false;
    }
    if (!options.listenAddress.empty()) {
        config->listenAddress = options.listenAddress;
    }
    if (options.port > 0) {
        config->port = static_cast<uint16_t>(options.port);
    }
    if (!options.logDirectory.empty()) {
        config->logDirectory = options.logDirectory;
    }
    return true;
}

std::string ServiceUsage() {
    return "Usage: PellquinService [--foreground] [--config FILE] [--listen ADDR] [--port N]\n"
           "                       [--log-dir DIR] | --help | --version\n"
           "Answers open-file queries and close requests for this machine's file server on\n"
           "TCP port 8021. Without --foreground it runs as the system's service: a daemon on\n"
           "Linux, under the Service Control Manager on Windows.\n"
           "Default configuration file: " +
           DefaultConfigFile() + "\n";
}

}  // namespace pellquin
