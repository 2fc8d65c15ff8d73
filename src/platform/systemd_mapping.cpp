#include "platform/systemd_mapping.h"

#include <cerrno>
#include <map>

#include "platform/error_codes.h"

namespace pellquin {
namespace {

constexpr uint32_t kErrorCannotComplete = 1003;
constexpr uint32_t kErrorServiceDisabled = 1058;
constexpr uint32_t kErrorServiceCannotAcceptControl = 1061;
constexpr uint32_t kErrorServiceDoesNotExist = 1060;
constexpr uint32_t kErrorRpcServerUnavailable = 1722;

// A value for a unit file's ExecStart= or Environment=: quoted, with the characters that
// quoting and specifier expansion give a meaning escaped.
std::string Quoted(const std::string& value) {
    std::string out = "\"";
    for (const char c : value) {
        if (c == '\\' || c == '"') {
            out += '\\';
        } else if (c == '%') {
            out += '%';
        }
        out += c;
    }
    out += '"';
    return out;
}

// The unit's systemd sandboxing, beyond its user and its state directory.
constexpr const char* kSandboxLines[] = {
    "ProtectSystem=strict",
    "ProtectHome=yes",
    "PrivateTmp=yes",
    "PrivateDevices=yes",
    "DevicePolicy=closed",
    "NoNewPrivileges=yes",
    "CapabilityBoundingSet=",
    "AmbientCapabilities=",
    "ProtectKernelTunables=yes",
    "ProtectKernelModules=yes",
    "ProtectKernelLogs=yes",
    "ProtectControlGroups=yes",
    "ProtectClock=yes",
    "ProtectHostname=yes",
    "ProtectProc=invisible",
    "ProcSubset=pid",
    "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX",
    "RestrictNamespaces=yes",
    "RestrictRealtime=yes",
    "RestrictSUIDSGID=yes",
    "LockPersonality=yes",
    "MemoryDenyWriteExecute=yes",
    "RemoveIPC=yes",
    "KeyringMode=private",
    "SystemCallArchitectures=native",
    "SystemCallFilter=@system-service",
    "SystemCallFilter=~@privileged @resources",
};

std::string PercentsDoubled(const std::string& value) {
    std::string out;
    for (const char c : value) {
        out += c;
        if (c == '%') {
            out += '%';
        }
    }
    return out;
}

}  // namespace

std::string UnitNameOfService(const std::string& serviceName) {
    return serviceName + ".service";
}

uint32_t UnitLoadError(const std::string& loadState) {
    return loadState == "not-found" ? kErrorServiceDoesNotExist : 0;
}

int32_t ServiceStateOfUnit(const UnitStates& states) {
    if (states.freezerState == "frozen") {
        return 7;
    }
    if (states.freezerState == "freezing") {
        return 6;
    }
    if (states.freezerState == "thawing") {
        return 5;
    }
    static const std::map<std::string, int32_t> byActiveState = {
        {"active", 4}, {"reloading", 4},  {"refreshing", 4},   {"inactive", 1},
        {"failed", 1}, {"activating", 2}, {"deactivating", 3},
    };
    const auto it = byActiveState.find(states.activeState);
    return it == byActiveState.end() ? 0 : it->second;
}

bool UnitIsStarted(const std::string& activeState) {
    return activeState == "active" || activeState == "reloading" || activeState == "refreshing";
}

uint32_t Win32ErrorOfBusError(const std::string& name, int errnoValue) {
    static const std::map<std::string, uint32_t> byName = {
        {"org.freedesktop.DBus.Error.AccessDenied", kErrorAccessDenied},
        {"org.freedesktop.DBus.Error.AuthFailed", kErrorAccessDenied},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", kErrorAccessDenied},
        {"org.freedesktop.systemd1.NoSuchUnit", kErrorServiceDoesNotExist},
        {"org.freedesktop.systemd1.UnitMasked", kErrorServiceDisabled},
        {"org.freedesktop.systemd1.JobTypeNotApplicable", kErrorServiceCannotAcceptControl},
        {"org.freedesktop.systemd1.OnlyByDependency", kErrorServiceCannotAcceptControl},
        {"org.freedesktop.systemd1.TransactionIsDestructive", kErrorServiceCannotAcceptControl},
        {"org.freedesktop.systemd1.ShuttingDown", kErrorServiceCannotAcceptControl},
        {"org.freedesktop.DBus.Error.ServiceUnknown", kErrorRpcServerUnavailable},
        {"org.freedesktop.DBus.Error.NameHasNoOwner", kErrorRpcServerUnavailable},
        {"org.freedesktop.DBus.Error.NoServer", kErrorRpcServerUnavailable},
        {"org.freedesktop.DBus.Error.Disconnected", kErrorRpcServerUnavailable},
        {"org.freedesktop.DBus.Error.NoReply", kErrorRpcServerUnavailable},
        {"org.freedesktop.DBus.Error.Timeout", kErrorRpcServerUnavailable},
        {"org.freedesktop.DBus.Error.TimedOut", kErrorRpcServerUnavailable},
    };
    const auto it = byName.find(name);
    if (it != byName.end()) {
        return it->second;
    }
    switch (errnoValue) {
        case EACCES:
        case EPERM:
            return kErrorAccessDenied;
        case ENOENT:
            return kErrorFileNotFound;
        case ECONNREFUSED:
        case ECONNRESET:
        case ENOTCONN:
        case ETIMEDOUT:
        case EHOSTUNREACH:
        case ENXIO:
        case EPIPE:
            return kErrorRpcServerUnavailable;
        default:
            return kErrorCannotComplete;
    }
}

uint32_t Win32ErrorOfBusConnect(int errnoValue) {
    return errnoValue == EACCES || errnoValue == EPERM ? kErrorAccessDenied
                                                       : kErrorRpcServerUnavailable;
}

bool UnitFileText(const ServiceRegistration& registration, std::string* text) {
    const std::string& program = registration.executablePath;
    if (program.empty() || program[0] != '/' ||
        program.find_first_of("\r\n") != std::string::npos ||
        registration.displayName.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    // The service closes anyone's open files for whoever may ask, so it runs with as little as
    // it needs: its own system user, the file system read-only but for its state directory
    // (the log), no devices, no home folders, no privileges to gain, IPv4/IPv6 and local
    // sockets only (libnetapi reaches Samba through both).
    std::string unit =
        "[Unit]\n"
        "Description=" +
        PercentsDoubled(registration.displayName) +
        "\n"
        "Documentation=man:PellquinService(8)\n"
        "After=network-online.target smbd.service\n"
        "Wants=network-online.target\n"
        "\n"
        "[Service]\n"
        "Type=simple\n"
        "ExecStart=" +
        Quoted(program) +
        " --foreground\n"
        "Environment=" +
        Quoted(std::string("PELLQUIN_SYSTEM_DIR=") + kServiceStateDirectory) +
        "\n"
        "User=" +
        kServiceUser +
        "\n"
        "Group=" +
        kServiceUser +
        "\n"
        "# The log Pellquin.log lives here; the service writes nothing else.\n"
        "StateDirectory=pellquin\n"
        "StateDirectoryMode=0750\n"
        "ReadWritePaths=" +
        kServiceStateDirectory +
        "\n"
        "UMask=0077\n";
    for (const char* line : kSandboxLines) {
        unit += line;
        unit += '\n';
    }
    unit +=
        "Restart=on-failure\n"
        "RestartSec=5s\n"
        "\n"
        "[Install]\n"
        "WantedBy=multi-user.target\n";
    *text = unit;
    return true;
}

std::string ServiceConfigText() {
    return std::string(
               "# PellquinService configuration, written by Pellquin's Install; see\n"
               "# PellquinService(8). Install never replaces this file.\n"
               "listen = 0.0.0.0\n"
               "port = 8021\n"
               "# The Samba server the service answers for. Empty: this machine's own.\n"
               "samba_server =\n"
               "# An administrator of that server: lines \"username = ...\" and\n"
               "# \"password = ...\", owned by the user ") +
           kServiceUser +
           ", mode 0600.\n"
           "credentials_file = " +
           kServiceCredentialsFile +
           "\n"
           "# Empty: " +
           kServiceStateDirectory +
           ", where the unit lets the service write.\n"
           "log_dir =\n";
}

}  // namespace pellquin
