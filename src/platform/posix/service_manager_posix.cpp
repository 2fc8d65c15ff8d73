#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <memory>

#include "platform/posix/smb_session_posix.h"
#include "platform/samba_path_forms.h"
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

using Bus = std::shared_ptr<sd_bus>;

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
    Bus bus;
    std::string machine;  // as typed; empty for this machine
    std::string unit;     // empty for a manager
    std::string unitPath;
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

// Calls a manager method whose arguments are one array of unit names or files and two
// flags, as LinkUnitFiles, EnableUnitFiles (runtime, force) and DisableUnitFiles (runtime).
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

uint32_t Reload(sd_bus* bus) {
    BusError error;
    const int r = sd_bus_call_method(bus, kSystemd, kManagerPath, kManagerInterface, "Reload",
                                     error.get(), nullptr, "");
    return r < 0 ? error.Win32(r) : 0;
}

// The host part of "user@host" for the SMB path of a remote machine.
std::string HostOf(const std::string& machine) {
    const size_t at = machine.rfind('@');
    return at == std::string::npos ? machine : machine.substr(at + 1);
}

// systemd over D-Bus. The service "Pellquin" is the unit "Pellquin.service"; a registration
// is a unit file written beside the program (on a remote machine through its Admin$ share,
// where the program was copied), linked into systemd and enabled.
class ServiceManagerPosix : public ServiceManager {
public:
    explicit ServiceManagerPosix(const std::string& credentialsFile) : m_smb(credentialsFile) {}

    ServiceHandleResult OpenManager(const std::string& machine) override {
        sd_bus* raw = nullptr;
        const int r = machine.empty() ? sd_bus_open_system(&raw)
                                      : sd_bus_open_system_remote(&raw, machine.c_str());
        if (r < 0) {
            return {0, Win32ErrorOfBusConnect(-r)};
        }
        Bus bus(raw, sd_bus_flush_close_unref);
        sd_bus_set_method_call_timeout(raw, kCallTimeoutUsec);
        // A bus without systemd on it (a container) answers here, not at the first real call.
        std::string version;
        const uint32_t error = GetString(raw, kManagerPath, kManagerInterface, "Version", &version);
        if (error != 0) {
            return {0, error};
        }
        return {Add(Entry{bus, machine, std::string(), std::string()}), 0};
    }

    ServiceHandleResult Open(ServiceManagerHandle manager, const std::string& name) override {
        const Entry* owner = Find(manager);
        if (owner == nullptr || !owner->unit.empty()) {
            return {0, kInvalidHandle};
        }
        const std::string unit = UnitNameOfService(name);
        BusError error;
        Reply reply;
        int r = sd_bus_call_method(owner->bus.get(), kSystemd, kManagerPath, kManagerInterface,
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
        uint32_t failure =
            GetString(owner->bus.get(), path, kUnitInterface, "LoadState", &loadState);
        if (failure == 0) {
            failure = UnitLoadError(loadState);
        }
        if (failure != 0) {
            return {0, failure};
        }
        return {Add(Entry{owner->bus, owner->machine, unit, path}), 0};
    }

    ServiceHandleResult Create(ServiceManagerHandle manager,
                               const ServiceRegistration& registration) override {
        const Entry* owner = Find(manager);
        if (owner == nullptr || !owner->unit.empty()) {
            return {0, kInvalidHandle};
        }
        ServiceRegistration local = registration;
        local.executablePath = UnixPathOfServerPath(registration.executablePath);
        std::string text;
        if (!UnitFileText(local, &text)) {
            return {0, kInvalidName};
        }
        const std::string unit = UnitNameOfService(registration.name);
        const std::string directory =
            local.executablePath.substr(0, local.executablePath.rfind('/') + 1);
        const std::string unitFile = directory + unit;
        uint32_t error =
            owner->machine.empty()
                ? WriteLocal(unitFile, text)
                : Win32ErrorOfFileErrno(m_smb.WriteAll(
                      "\\\\" + HostOf(owner->machine) + "\\Admin$\\System32\\" + unit, text));
        if (error == 0) {
            error = CallWithFiles(owner->bus.get(), "LinkUnitFiles", unitFile, true);
        }
        if (error == 0) {
            error = CallWithFiles(owner->bus.get(), "EnableUnitFiles", unit, true);
        }
        if (error == 0) {
            error = Reload(owner->bus.get());
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
        // Disabling removes the links that the registration made, so after the reload the
        // unit is gone; its file stays beside the program, as the program itself does.
        uint32_t error = CallWithFiles(entry->bus.get(), "DisableUnitFiles", entry->unit, false);
        if (error == 0) {
            error = Reload(entry->bus.get());
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
        UnitStates states;
        sd_bus* bus = entry->bus.get();
        uint32_t error =
            GetString(bus, entry->unitPath, kUnitInterface, "LoadState", &states.loadState);
        if (error == 0) {
            error = UnitLoadError(states.loadState);
        }
        if (error == 0) {
            error =
                GetString(bus, entry->unitPath, kUnitInterface, "ActiveState", &states.activeState);
        }
        if (error == 0) {
            error = GetString(bus, entry->unitPath, kUnitInterface, "SubState", &states.subState);
        }
        if (error != 0) {
            return {0, error};
        }
        // Older systemd has no freezer; its absence means the unit is not frozen.
        GetString(bus, entry->unitPath, kUnitInterface, "FreezerState", &states.freezerState);
        return {ServiceStateOfUnit(states), 0};
    }

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
        const uint32_t error = GetString(entry->bus.get(), entry->unitPath, kUnitInterface,
                                         "ActiveState", &activeState);
        if (error != 0) {
            return error;
        }
        if (UnitIsStarted(activeState) != wantStarted) {
            return wantStarted ? kNotActive : kAlreadyRunning;
        }
        BusError busError;
        Reply reply;
        const int r =
            sd_bus_call_method(entry->bus.get(), kSystemd, kManagerPath, kManagerInterface, method,
                               busError.get(), reply.out(), "ss", entry->unit.c_str(), "replace");
        return r < 0 ? busError.Win32(r) : 0;
    }

    static uint32_t WriteLocal(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) {
            return Win32ErrorOfFileErrno(errno != 0 ? errno : EACCES);
        }
        out << text;
        return out.flush() ? 0 : Win32ErrorOfFileErrno(errno != 0 ? errno : EIO);
    }

    SmbSession m_smb;
    std::map<ServiceManagerHandle, Entry> m_entries;
    ServiceManagerHandle m_next = 1;
};

}  // namespace

std::unique_ptr<ServiceManager> MakeServiceManager(const std::string& credentialsFile) {
    return std::make_unique<ServiceManagerPosix>(credentialsFile);
}

}  // namespace pellquin
