#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <memory>

#include "platform/posix/target_shell_posix.h"
#include "platform/service_manager.h"
#include "platform/systemd_mapping.h"

namespace pellquin {
namespace {

constexpr const char* kSystemd = "org.freedesktop.systemd1";
constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kManagerInterface = "org.freedesktop.systemd1.Manager";
constexpr const char* kUnitInterface = "org.freedesktop.systemd1.Unit";
// Long enough for systemd to answer over SSH, short enough that the window comes back.
constexpr uint64_t kCallTimeoutUsec = 15 * 1000 * 1000;
// A status poll runs every second on the window's thread: a link that does not answer within
// this reads as "Unknown" for that round.
constexpr uint64_t kPollTimeoutUsec = 2 * 1000 * 1000;
// polkit's authentication dialog waits for the operator.
constexpr uint64_t kInteractiveTimeoutUsec = 120ull * 1000 * 1000;
// How long ssh gets to finish writing its reason after the link failed.
constexpr int kSshReasonWaitMs = 2000;

// One bus to one machine: for a remote machine, the ssh process that carries it (started by
// us, so that its standard error is ours to read and it never owns a terminal). Dropped
// without flushing, so that a hung link never holds up a disconnection.
class Link {
public:
    Link(sd_bus* bus, pid_t ssh, int sshErrors) : m_bus(bus), m_ssh(ssh), m_sshErrors(sshErrors) {}
    ~Link() {
        sd_bus_close_unref(m_bus);
        if (m_ssh > 0) {
            kill(m_ssh, SIGKILL);
            while (waitpid(m_ssh, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        if (m_sshErrors >= 0) {
            close(m_sshErrors);
        }
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    sd_bus* bus() const { return m_bus; }

    // What ssh wrote to its standard error, waiting a little for it to finish; empty for
    // this machine's bus.
    std::string SshReason() {
        if (m_sshErrors < 0) {
            return std::string();
        }
        std::string raw;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kSshReasonWaitMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            pollfd fd{m_sshErrors, POLLIN, 0};
            if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) {
                break;
            }
            char buffer[4096];
            const ssize_t got = read(m_sshErrors, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            raw.append(buffer, static_cast<size_t>(got));
        }
        return SafeErrorText(raw);
    }

private:
    sd_bus* m_bus;
    pid_t m_ssh;
    int m_sshErrors;
};

using Bus = std::shared_ptr<Link>;

// One sd_bus_error freed on every way out.
class BusError {
public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&m_error); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    sd_bus_error* get() { return &m_error; }
    uint32_t Win32(int result) const {
        return Win32ErrorOfBusError(m_error.name != nullptr ? m_error.name : "", -result);
    }

private:
    sd_bus_error m_error = SD_BUS_ERROR_NULL;
};

class Reply {
public:
    Reply() = default;
    ~Reply() { sd_bus_message_unref(m_message); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    sd_bus_message** out() { return &m_message; }
    sd_bus_message* get() { return m_message; }

private:
    sd_bus_message* m_message = nullptr;
};

struct Entry {
    Bus link;
    std::string machine;  // as typed; empty for this machine
    std::string unit;     // empty for a manager
    std::string unitPath;
    sd_bus* bus() const { return link->bus(); }
};

uint32_t GetString(sd_bus* bus, const std::string& path, const char* interface, const char* name,
                   std::string* value) {
    BusError error;
    char* text = nullptr;
    const int r = sd_bus_get_property_string(bus, kSystemd, path.c_str(), interface, name,
                                             error.get(), &text);
    if (r < 0) {
        return error.Win32(r);
    }
    *value = text;
    free(text);
    return 0;
}

// LoadState, ActiveState, SubState and FreezerState (absent in older systemd: not frozen) of
// a unit in one GetAll call that waits at most kPollTimeoutUsec.
uint32_t ReadUnitStates(sd_bus* bus, const std::string& path, UnitStates* states) {
    BusError error;
    Reply reply;
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus, &call, kSystemd, path.c_str(),
                                           "org.freedesktop.DBus.Properties", "GetAll");
    if (r >= 0) {
        r = sd_bus_message_append(call, "s", kUnitInterface);
    }
    if (r >= 0) {
        r = sd_bus_call(bus, call, kPollTimeoutUsec, error.get(), reply.out());
    }
    sd_bus_message_unref(call);
    if (r < 0) {
        return error.Win32(r);
    }
    const std::map<std::string, std::string*> wanted = {
        {"LoadState", &states->loadState},
        {"ActiveState", &states->activeState},
        {"SubState", &states->subState},
        {"FreezerState", &states->freezerState},
    };
    sd_bus_message* m = reply.get();
    r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{sv}");
    while (r > 0) {
        r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "sv");
        if (r <= 0) {
            break;
        }
        const char* name = nullptr;
        r = sd_bus_message_read(m, "s", &name);
        if (r < 0) {
            break;
        }
        const auto it = wanted.find(name);
        const char* value = nullptr;
        if (it != wanted.end() && sd_bus_message_read(m, "v", "s", &value) > 0) {
            *it->second = value;
        } else {
            r = sd_bus_message_skip(m, "v");
            if (r < 0) {
                break;
            }
        }
        r = sd_bus_message_exit_container(m);
    }
    if (r < 0) {
        return Win32ErrorOfBusError("", -r);
    }
    return states->loadState.empty() ? Win32ErrorOfBusError("", EBADMSG) : 0;
}

// Calls a manager method whose arguments are one array of unit names and one or two flags,
// as EnableUnitFiles (runtime, force) and DisableUnitFiles (runtime).
uint32_t CallWithFiles(sd_bus* bus, const char* method, const std::string& file, bool withForce) {
    BusError error;
    Reply reply;
    const int r = withForce
                      ? sd_bus_call_method(bus, kSystemd, kManagerPath, kManagerInterface, method,
                                           error.get(), reply.out(), "asbb", 1, file.c_str(), 0, 1)
                      : sd_bus_call_method(bus, kSystemd, kManagerPath, kManagerInterface, method,
                                           error.get(), reply.out(), "asb", 1, file.c_str(), 0);
    return r < 0 ? error.Win32(r) : 0;
}

// systemd's daemon reload. systemd answers it only once the reload is done; over a local bus
// it may first ask polkit, which may wait for the operator.
uint32_t Reload(sd_bus* bus, bool remote) {
    BusError error;
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus, &call, kSystemd, kManagerPath, kManagerInterface,
                                           "Reload");
    if (r >= 0) {
        r = sd_bus_call(bus, call, remote ? kCallTimeoutUsec : kInteractiveTimeoutUsec, error.get(),
                        nullptr);
    }
    sd_bus_message_unref(call);
    return r < 0 ? error.Win32(r) : 0;
}

// Makes the service's system user when the machine has none (systemd-sysusers where there is
// one, else useradd), then puts the unit file (standard input) in place as root's, mode 0644,
// replacing one there. Exits 5 without root's rights.
std::string RegistrationScript(const std::string& unitFile) {
    const std::string user = kServiceUser;
    const std::string home = kServiceStateDirectory;
    return "[ \"$(id -u)\" = 0 ] || { echo \"$(id -un) may not install services here (root "
           "may)\" >&2; exit 5; }\n"
           "if ! getent passwd " +
           user +
           " >/dev/null; then\n"
           "  if command -v systemd-sysusers >/dev/null; then\n"
           "    echo 'u " +
           user + " - \"Pellquin query service\" " + home +
           "' | systemd-sysusers - >/dev/null || exit 1\n"
           "  else\n"
           "    useradd --system --user-group --home-dir " +
           home + " --no-create-home --shell /usr/sbin/nologin " + user +
           " || exit 1\n"
           "  fi\n"
           "fi\n"
           "umask 022\n"
           "mkdir -p " +
           kUnitDirectory +
           " || exit 1\n"
           "tmp=$(mktemp " +
           ShellQuoted(unitFile) +
           ".XXXXXX) || exit 1\n"
           "if cat >\"$tmp\" && chown 0:0 \"$tmp\" && chmod 0644 \"$tmp\" && mv -f \"$tmp\" " +
           ShellQuoted(unitFile) +
           "; then exit 0; fi\n"
           "rm -f \"$tmp\"\n"
           "exit 1\n";
}

// The system bus of `machine` over ssh running systemd-stdio-bridge there, as sd-bus's own
// remote transport does, but with ssh's standard error kept for the message log.
int OpenRemoteBus(const std::string& machine, Bus* link) {
    int pair[2] = {-1, -1};
    int errors[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        return -errno;
    }
    if (pipe2(errors, O_CLOEXEC) != 0) {
        const int error = errno;
        close(pair[0]);
        close(pair[1]);
        return -error;
    }
    const pid_t ssh = SpawnDetachedFromTerminal(SshArguments(machine, "systemd-stdio-bridge"),
                                                pair[1], pair[1], errors[1]);
    const int spawnError = errno;
    close(pair[1]);
    close(errors[1]);
    if (ssh < 0) {
        close(pair[0]);
        close(errors[0]);
        return -spawnError;
    }
    sd_bus* raw = nullptr;
    int r = sd_bus_new(&raw);
    if (r < 0) {
        close(pair[0]);
        *link = std::make_shared<Link>(nullptr, ssh, errors[0]);
        return r;
    }
    *link = std::make_shared<Link>(raw, ssh, errors[0]);
    r = sd_bus_set_fd(raw, pair[0], pair[0]);
    if (r < 0) {
        close(pair[0]);
        return r;
    }
    sd_bus_set_bus_client(raw, 1);
    sd_bus_set_trusted(raw, 0);
    return sd_bus_start(raw);
}

// systemd over D-Bus. The service "Pellquin" is the unit "Pellquin.service"; a registration
// is its unit file in /etc/systemd/system of the machine (written there over ssh for a remote
// one, root's and mode 0644), enabled, with the service's system user made when missing.
class ServiceManagerPosix : public ServiceManager {
public:
    ServiceHandleResult OpenManager(const std::string& machine) override {
        m_detail.clear();
        Bus link;
        int r = 0;
        if (machine.empty()) {
            sd_bus* raw = nullptr;
            r = sd_bus_open_system(&raw);
            if (r >= 0) {
                link = std::make_shared<Link>(raw, -1, -1);
                // An ordinary user gets polkit's authentication dialog instead of a refusal.
                if (geteuid() != 0) {
                    sd_bus_set_allow_interactive_authorization(raw, 1);
                }
            }
        } else {
            r = OpenRemoteBus(machine, &link);
        }
        if (r < 0) {
            m_detail = link ? link->SshReason() : std::string();
            return {0, Win32ErrorOfBusConnect(-r)};
        }
        sd_bus_set_method_call_timeout(link->bus(), kCallTimeoutUsec);
        // A bus without systemd on it (a container) answers here, not at the first real call.
        std::string version;
        const uint32_t error =
            GetString(link->bus(), kManagerPath, kManagerInterface, "Version", &version);
        if (error != 0) {
            m_detail = link->SshReason();
            return {0, error};
        }
        return {Add(Entry{link, machine, std::string(), std::string()}), 0};
    }

    ServiceHandleResult Open(ServiceManagerHandle manager, const std::string& name) override {
        const Entry* owner = Find(manager);
        if (owner == nullptr || !owner->unit.empty()) {
            return {0, kInvalidHandle};
        }
        const std::string unit = UnitNameOfService(name);
        BusError error;
        Reply reply;
        int r = sd_bus_call_method(owner->bus(), kSystemd, kManagerPath, kManagerInterface,
                                   "LoadUnit", error.get(), reply.out(), "s", unit.c_str());
        if (r < 0) {
            return {0, error.Win32(r)};
        }
        const char* path = nullptr;
        r = sd_bus_message_read(reply.get(), "o", &path);
        if (r < 0) {
            return {0, Win32ErrorOfBusError("", -r)};
        }
        std::string loadState;
        uint32_t failure = GetString(owner->bus(), path, kUnitInterface, "LoadState", &loadState);
        if (failure == 0) {
            failure = UnitLoadError(loadState);
        }
        if (failure != 0) {
            return {0, failure};
        }
        return {Add(Entry{owner->link, owner->machine, unit, path}), 0};
    }

    ServiceHandleResult Create(ServiceManagerHandle manager,
                               const ServiceRegistration& registration) override {
        m_detail.clear();
        const Entry* owner = Find(manager);
        if (owner == nullptr || !owner->unit.empty()) {
            return {0, kInvalidHandle};
        }
        std::string text;
        if (!UnitFileText(registration, &text)) {
            return {0, kInvalidName};
        }
        const std::string unit = UnitNameOfService(registration.name);
        const TargetShell shell(owner->machine);
        const ShellResult written =
            shell.Run(RegistrationScript(std::string(kUnitDirectory) + "/" + unit), text);
        if (written.exitCode != 0) {
            m_detail = written.errorText;
            return {0, Win32ErrorOfShell(written, shell.remote())};
        }
        sd_bus* bus = owner->bus();
        uint32_t error = Reload(bus, shell.remote());
        if (error == 0) {
            error = CallWithFiles(bus, "EnableUnitFiles", unit, true);
        }
        if (error == 0) {
            error = Reload(bus, shell.remote());
        }
        if (error != 0) {
            return {0, error};
        }
        return Open(manager, registration.name);
    }

    uint32_t Delete(ServiceManagerHandle service) override {
        const Entry* entry = FindService(service);
        if (entry == nullptr) {
            return kInvalidHandle;
        }
        // The registration is the unit file in /etc/systemd/system: disabled and removed, the
        // unit is gone after the reload (a unit the system's package installed stays). The
        // program and the log stay where they are.
        uint32_t error = CallWithFiles(entry->bus(), "DisableUnitFiles", entry->unit, false);
        if (error == 0) {
            const TargetShell shell(entry->machine);
            const ShellResult removed =
                shell.Run("rm -f " + ShellQuoted(std::string(kUnitDirectory) + "/" + entry->unit) +
                          " || exit 5");
            error = Win32ErrorOfShell(removed, shell.remote());
        }
        if (error == 0) {
            error = Reload(entry->bus(), !entry->machine.empty());
        }
        return error;
    }

    uint32_t Start(ServiceManagerHandle service) override {
        return Control(service, "StartUnit", /*wantStarted=*/false);
    }

    uint32_t Stop(ServiceManagerHandle service) override {
        return Control(service, "StopUnit", /*wantStarted=*/true);
    }

    ServiceStatusResult QueryStatus(ServiceManagerHandle service) override {
        const Entry* entry = FindService(service);
        if (entry == nullptr) {
            return {0, kInvalidHandle};
        }
        // One round trip with a short limit: the poll must not hold the window.
        UnitStates states;
        const uint32_t error = ReadUnitStates(entry->bus(), entry->unitPath, &states);
        if (error != 0) {
            return {0, error};
        }
        const uint32_t loadError = UnitLoadError(states.loadState);
        if (loadError != 0) {
            return {0, loadError};
        }
        return {ServiceStateOfUnit(states), 0};
    }

    std::string LastFailureDetail() override { return m_detail; }

    void Close(ServiceManagerHandle handle) override { m_entries.erase(handle); }

private:
    static constexpr uint32_t kInvalidHandle = 6;  // ERROR_INVALID_HANDLE
    static constexpr uint32_t kInvalidName = 123;
    static constexpr uint32_t kAlreadyRunning = 1056;
    static constexpr uint32_t kNotActive = 1062;

    ServiceManagerHandle Add(Entry entry) {
        const ServiceManagerHandle handle = m_next++;
        m_entries.emplace(handle, std::move(entry));
        return handle;
    }

    const Entry* Find(ServiceManagerHandle handle) const {
        const auto it = m_entries.find(handle);
        return it == m_entries.end() ? nullptr : &it->second;
    }

    const Entry* FindService(ServiceManagerHandle handle) const {
        const Entry* entry = Find(handle);
        return entry != nullptr && !entry->unit.empty() ? entry : nullptr;
    }

    // systemd takes a start of a running unit, or a stop of a stopped one, as done; the
    // Service Control Manager refuses both, and so do we.
    uint32_t Control(ServiceManagerHandle service, const char* method, bool wantStarted) {
        const Entry* entry = FindService(service);
        if (entry == nullptr) {
            return kInvalidHandle;
        }
        std::string activeState;
        const uint32_t error =
            GetString(entry->bus(), entry->unitPath, kUnitInterface, "ActiveState", &activeState);
        if (error != 0) {
            return error;
        }
        if (UnitIsStarted(activeState) != wantStarted) {
            return wantStarted ? kNotActive : kAlreadyRunning;
        }
        BusError busError;
        Reply reply;
        const int r =
            sd_bus_call_method(entry->bus(), kSystemd, kManagerPath, kManagerInterface, method,
                               busError.get(), reply.out(), "ss", entry->unit.c_str(), "replace");
        return r < 0 ? busError.Win32(r) : 0;
    }

    std::map<ServiceManagerHandle, Entry> m_entries;
    std::string m_detail;
    ServiceManagerHandle m_next = 1;
};

}  // namespace

std::unique_ptr<ServiceManager> MakeServiceManager(const std::string& /*credentialsFile*/) {
    return std::make_unique<ServiceManagerPosix>();
}

}  // namespace pellquin
