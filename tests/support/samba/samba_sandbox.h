#pragma once

#include <sys/types.h>

#include <string>

namespace pellquin::test {

// A private Samba server for one test: smbd on `ip`:445 (give every test its own 127.0.0.x),
// serving the share "data" from a fresh temporary directory, with two accounts:
//   pqadmin (ADMIN_USER), in BUILTIN\Administrators: may list and close open files;
//   pquser (PLAIN_USER), an ordinary user.
// The share holds: readme.txt, reports/q1.xls, reports/q2.xls, reports/archive/2023 summary.txt,
// rep/notes.txt, "Projekte Übersicht/Café Zürich.txt", and an empty folder bench/.
// Built on scripts/samba-sandbox.sh; needs root (see CanRun). The destructor stops the
// server's processes by their PIDs and removes the directory, also when a test fails; a
// watchdog process does the same if this process dies without running it.
class SambaSandbox {
public:
    static constexpr const char* ADMIN_USER = "pqadmin";
    static constexpr const char* ADMIN_PASSWORD = "Sandbox-Admin-1";
    static constexpr const char* PLAIN_USER = "pquser";
    static constexpr const char* PLAIN_PASSWORD = "Sandbox-User-1";

    // Whether this process may run a sandbox; *reason says why not (for GTEST_SKIP).
    static bool CanRun(std::string* reason);

    // Starts the server and returns once it listens; see ok() and error().
    explicit SambaSandbox(std::string ip);
    ~SambaSandbox();
    SambaSandbox(const SambaSandbox&) = delete;
    SambaSandbox& operator=(const SambaSandbox&) = delete;

    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }  // the script's output on failure

    const std::string& ip() const { return m_ip; }
    const std::string& dir() const { return m_dir; }
    std::string shareDir() const { return m_dir + "/share"; }  // Linux folder of [data]
    std::string configFile() const { return m_dir + "/smb.conf"; }
    // smbclient-style credentials files (mode 0600) of pqadmin and pquser.
    std::string adminCredentials() const { return m_dir + "/admin.credentials"; }
    std::string userCredentials() const { return m_dir + "/user.credentials"; }
    // "\\ip\data" and the share's folder as the server reports it ("C:\tmp\...\share").
    std::string uncRoot() const { return "\\\\" + m_ip + "\\data"; }
    std::string serverFolder() const;

    // Stops the server now, cleanly, keeping the directory (the destructor removes it).
    void stop();

    // Path of scripts/samba-sandbox.sh in the source tree.
    static std::string ScriptPath();

private:
    void StartWatchdog();

    std::string m_ip;
    std::string m_dir;
    bool m_ok = false;
    bool m_running = false;
    std::string m_error;
    pid_t m_watchdog = -1;
    int m_watchdogPipe = -1;
};

}  // namespace pellquin::test
