#pragma once

#include <cstdint>
#include <string>

#include "platform/service_manager.h"

namespace pellquin {

// How systemd's answers read in the Service Control Manager's terms. Pure functions, so that
// recorded D-Bus replies can be checked on every OS.

// The unit's properties that make up a state.
struct UnitStates {
    std::string loadState;     // LoadState: "loaded", "not-found", "masked", ...
    std::string activeState;   // ActiveState: "active", "inactive", "activating", ...
    std::string subState;      // SubState: "running", "dead", "auto-restart", ...
    std::string freezerState;  // FreezerState: "running", "frozen", ...; empty when absent
};

// The unit "Pellquin.service" for the service named "Pellquin".
std::string UnitNameOfService(const std::string& serviceName);

// 0 when the unit exists, 1060 when systemd has no unit file for it.
uint32_t UnitLoadError(const std::string& loadState);

// The service state code 1 to 7 of a loaded unit: frozen units are paused (7) and units
// being frozen or thawed are pause (6) or continue (5) pending; otherwise ActiveState gives
// running (4), stopped (1), start pending (2) or stop pending (3). 0 for states systemd may
// add later.
int32_t ServiceStateOfUnit(const UnitStates& states);

// True for ActiveStates in which a start request would find the service already running.
bool UnitIsStarted(const std::string& activeState);

// The Win32 code of a failed D-Bus call: the error name decides when it is one systemd or
// the bus defines, else the errno that sd-bus gave it (positive). No answer from systemd
// reads as 1722 ("The RPC server is unavailable").
uint32_t Win32ErrorOfBusError(const std::string& name, int errnoValue);

// The Win32 code of an errno from connecting to a bus: unreachable is 1722.
uint32_t Win32ErrorOfBusConnect(int errnoValue);

// Where the query service lives on a Linux machine, the same on every machine: the folder
// of its unit, the program the system's package installs, the folder Install copies it to
// otherwise, its system user, its state directory (the log "Pellquin.log"), its
// configuration and the credentials file that configuration names.
constexpr const char* kUnitDirectory = "/etc/systemd/system";
constexpr const char* kPackagedServiceProgram = "/usr/libexec/pellquin/PellquinService";
constexpr const char* kInstalledServiceDirectory = "/usr/local/lib/pellquin";
constexpr const char* kServiceUser = "pellquin";
constexpr const char* kServiceStateDirectory = "/var/lib/pellquin";
constexpr const char* kServiceConfigFile = "/etc/pellquin/PellquinService.conf";
constexpr const char* kServiceCredentialsFile = "/etc/pellquin/credentials";

// The unit file text of a registration: the program runs in the foreground under systemd as
// the system user kServiceUser, sandboxed (the file system read-only but for its state
// directory kServiceStateDirectory, which holds its log), started with the machine
// (multi-user.target). The system's package installs the same unit. Returns false, leaving
// *text alone, when the path cannot be written into a unit file (a line break, or not an
// absolute path).
bool UnitFileText(const ServiceRegistration& registration, std::string* text);

// The configuration Install writes for a service that has none: it answers for this
// machine's Samba server with the administrator's credentials in kServiceCredentialsFile,
// and logs to its state directory.
std::string ServiceConfigText();

}  // namespace pellquin
