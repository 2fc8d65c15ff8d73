#pragma once

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct sd_bus sd_bus;

namespace pellquin::test {

// A private D-Bus daemon with a stand-in for systemd's manager on it, so that the Linux
// service manager's calls run for real where no systemd does. The stand-in knows one unit,
// "Pellquin.service": it exists once its file has been linked and the manager reloaded, and
// is gone after it was disabled and the manager reloaded. DBUS_SYSTEM_BUS_ADDRESS points at
// the daemon while the object lives. The daemon is stopped by its PID.
class StandInSystemd {
public:
    StandInSystemd();
    ~StandInSystemd();
    StandInSystemd(const StandInSystemd&) = delete;
    StandInSystemd& operator=(const StandInSystemd&) = delete;

    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

    // Each manager method as "Name(arg,arg,...)", in order.
    std::vector<std::string> Calls();
    // When set, StartUnit answers with polkit's "interactive authorization required".
    void DenyStart(bool deny) { m_denyStart = deny; }
    bool StartDenied() const { return m_denyStart; }
    // The unit's ActiveState, as set by StartUnit and StopUnit or by the test.
    void SetActiveState(const std::string& state);
    // Forgets the unit, as a reload after someone else removed it would.
    void Unload();

private:
    void Serve();

    bool m_ok = false;
    std::string m_error;
    std::string m_dir;
    pid_t m_daemon = -1;
    std::string m_oldAddress;
    bool m_hadOldAddress = false;
    sd_bus* m_bus = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_denyStart{false};

public:
    // State shared with the serving thread; guarded by m_mutex.
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
    bool m_linked = false;
    bool m_loaded = false;
    std::string m_activeState = "inactive";
};

}  // namespace pellquin::test
