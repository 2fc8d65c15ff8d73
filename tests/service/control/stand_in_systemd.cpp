#include "stand_in_systemd.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace pellquin::test {
namespace {

constexpr const char* kUnitPath = "/org/freedesktop/systemd1/unit/Pellquin_2eservice";

StandInSystemd* Self(void* userdata) {
    return static_cast<StandInSystemd*>(userdata);
}

std::string Joined(char** list) {
    std::string text;
    for (char** p = list; p != nullptr && *p != nullptr; ++p) {
        text += (text.empty() ? "" : ",") + std::string(*p);
        free(*p);
    }
    free(list);
    return text;
}

int Version(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
            sd_bus_error*) {
    return sd_bus_message_append(reply, "s", "252");
}

int UnitProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                 void* userdata, sd_bus_error*) {
    StandInSystemd* self = Self(userdata);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    std::string value;
    if (std::strcmp(property, "LoadState") == 0) {
        value = self->m_loaded ? "loaded" : "not-found";
    } else if (std::strcmp(property, "ActiveState") == 0) {
        value = self->m_activeState;
    } else if (std::strcmp(property, "SubState") == 0) {
        value = self->m_activeState == "active" ? "running" : "dead";
    } else {
        value = "running";  // FreezerState
    }
    return sd_bus_message_append(reply, "s", value.c_str());
}

int LoadUnit(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* name = nullptr;
    int r = sd_bus_message_read(m, "s", &name);
    if (r < 0) {
        return r;
    }
    {
        std::lock_guard<std::mutex> lock(Self(userdata)->m_mutex);
        Self(userdata)->m_calls.push_back(std::string("LoadUnit(") + name + ")");
    }
    return sd_bus_reply_method_return(m, "o", kUnitPath);
}

int StartOrStop(sd_bus_message* m, void* userdata, sd_bus_error* error, bool start) {
    const char* name = nullptr;
    const char* mode = nullptr;
    int r = sd_bus_message_read(m, "ss", &name, &mode);
    if (r < 0) {
        return r;
    }
    StandInSystemd* self = Self(userdata);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_calls.push_back(std::string(start ? "StartUnit(" : "StopUnit(") + name + "," + mode +
                            ")");
    if (start && self->StartDenied()) {
        return sd_bus_error_set(error,
                                "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
                                "Interactive authentication required.");
    }
    if (!self->m_loaded) {
        return sd_bus_error_setf(error, "org.freedesktop.systemd1.NoSuchUnit", "Unit %s not found.",
                                 name);
    }
    self->m_activeState = start ? "active" : "inactive";
    return sd_bus_reply_method_return(m, "o", "/org/freedesktop/systemd1/job/1");
}

int StartUnit(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    return StartOrStop(m, userdata, error, true);
}

int StopUnit(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    return StartOrStop(m, userdata, error, false);
}

int UnitFiles(sd_bus_message* m, void* userdata, bool withForce, const char* method) {
    char** files = nullptr;
    int r = sd_bus_message_read_strv(m, &files);
    if (r < 0) {
        return r;
    }
    int runtime = 0;
    int force = 0;
    r = withForce ? sd_bus_message_read(m, "bb", &runtime, &force)
                  : sd_bus_message_read(m, "b", &runtime);
    if (r < 0) {
        return r;
    }
    StandInSystemd* self = Self(userdata);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    std::string call =
        std::string(method) + "(" + Joined(files) + "," + (runtime ? "runtime" : "persistent");
    if (withForce) {
        call += force ? ",force" : ",noforce";
    }
    self->m_calls.push_back(call + ")");
    if (std::strcmp(method, "LinkUnitFiles") == 0) {
        self->m_linked = true;
    } else if (std::strcmp(method, "DisableUnitFiles") == 0) {
        self->m_linked = false;
    }
    return 0;
}

int LinkUnitFiles(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const int r = UnitFiles(m, userdata, true, "LinkUnitFiles");
    return r < 0 ? r : sd_bus_reply_method_return(m, "a(sss)", 0);
}

int EnableUnitFiles(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const int r = UnitFiles(m, userdata, true, "EnableUnitFiles");
    return r < 0 ? r : sd_bus_reply_method_return(m, "ba(sss)", 0, 0);
}

int DisableUnitFiles(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const int r = UnitFiles(m, userdata, false, "DisableUnitFiles");
    return r < 0 ? r : sd_bus_reply_method_return(m, "a(sss)", 0);
}

int Reload(sd_bus_message* m, void* userdata, sd_bus_error*) {
    StandInSystemd* self = Self(userdata);
    {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_calls.push_back("Reload()");
        // A unit file in /etc/systemd/system is loaded as systemd loads it (the tests that
        // write there run in the systemd sandbox, whose /etc is its own).
        self->m_loaded =
            self->m_linked || access("/etc/systemd/system/Pellquin.service", F_OK) == 0;
    }
    return sd_bus_reply_method_return(m, "");
}

const sd_bus_vtable kManagerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "s", Version, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("LoadUnit", "s", "o", LoadUnit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("StartUnit", "ss", "o", StartUnit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("StopUnit", "ss", "o", StopUnit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("LinkUnitFiles", "asbb", "a(sss)", LinkUnitFiles, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("EnableUnitFiles", "asbb", "ba(sss)", EnableUnitFiles,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("DisableUnitFiles", "asb", "a(sss)", DisableUnitFiles,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Reload", "", "", Reload, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kUnitVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("LoadState", "s", UnitProperty, 0, 0),
    SD_BUS_PROPERTY("ActiveState", "s", UnitProperty, 0, 0),
    SD_BUS_PROPERTY("SubState", "s", UnitProperty, 0, 0),
    SD_BUS_PROPERTY("FreezerState", "s", UnitProperty, 0, 0),
    SD_BUS_VTABLE_END,
};

}  // namespace

StandInSystemd::StandInSystemd() {
    char pattern[] = "/tmp/pellquin-dbus-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        m_error = "mkdtemp failed";
        return;
    }
    m_dir = pattern;
    const std::string address = "unix:path=" + m_dir + "/bus";
    int ready[2];
    if (pipe(ready) != 0) {
        m_error = "pipe failed";
        return;
    }
    m_daemon = fork();
    if (m_daemon == 0) {
        dup2(ready[1], STDOUT_FILENO);
        // Its complaints about fd limits in containers are noise here.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(ready[0]);
        close(ready[1]);
        const std::string listen = "--address=" + address;
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
               "--print-address", listen.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char line[512] = {};
    const ssize_t got = read(ready[0], line, sizeof line - 1);
    close(ready[0]);
    if (m_daemon < 0 || got <= 0) {
        m_error = "dbus-daemon did not start (is the dbus-daemon package installed?)";
        return;
    }

    const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    m_hadOldAddress = old != nullptr;
    m_oldAddress = old != nullptr ? old : "";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);

    int r = sd_bus_new(&m_bus);
    if (r >= 0) {
        r = sd_bus_set_address(m_bus, address.c_str());
    }
    if (r >= 0) {
        r = sd_bus_set_bus_client(m_bus, 1);
    }
    if (r >= 0) {
        r = sd_bus_start(m_bus);
    }
    if (r >= 0) {
        r = sd_bus_add_object_vtable(m_bus, nullptr, "/org/freedesktop/systemd1",
                                     "org.freedesktop.systemd1.Manager", kManagerVtable, this);
    }
    if (r >= 0) {
        r = sd_bus_add_object_vtable(m_bus, nullptr, kUnitPath, "org.freedesktop.systemd1.Unit",
                                     kUnitVtable, this);
    }
    if (r >= 0) {
        r = sd_bus_request_name(m_bus, "org.freedesktop.systemd1", 0);
    }
    if (r < 0) {
        m_error = std::string("stand-in systemd: ") + std::strerror(-r);
        return;
    }
    m_thread = std::thread([this] { Serve(); });
    m_ok = true;
}

StandInSystemd::~StandInSystemd() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_bus != nullptr) {
        sd_bus_flush_close_unref(m_bus);
    }
    if (m_daemon > 0) {
        kill(m_daemon, SIGTERM);
        waitpid(m_daemon, nullptr, 0);
    }
    if (m_hadOldAddress) {
        setenv("DBUS_SYSTEM_BUS_ADDRESS", m_oldAddress.c_str(), 1);
    } else {
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    if (!m_dir.empty()) {
        unlink((m_dir + "/bus").c_str());
        rmdir(m_dir.c_str());
    }
}

void StandInSystemd::Serve() {
    while (!m_stop) {
        const int r = sd_bus_process(m_bus, nullptr);
        if (r < 0) {
            return;
        }
        if (r == 0) {
            sd_bus_wait(m_bus, 100 * 1000);
        }
    }
}

std::vector<std::string> StandInSystemd::Calls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

void StandInSystemd::SetActiveState(const std::string& state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_activeState = state;
}

void StandInSystemd::Unload() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_linked = false;
    m_loaded = false;
}

}  // namespace pellquin::test
