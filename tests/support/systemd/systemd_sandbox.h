#pragma once

#include <sys/types.h>

#include <string>

namespace pellquin::test {

// A real systemd booted for one test as PID 1 of its own PID, mount, UTS, IPC, network and
// cgroup namespaces by tests/support/systemd/systemd-sandbox.sh, whose header lists what it
// proves before it starts systemd (private tmpfs on /tmp, /var/tmp and /run; no unit or
// generator of the host visible; the host's file system read-only). The sandbox has its own
// system bus (a dbus-daemon unit on /run/dbus/system_bus_socket) and an sshd on
// 127.0.0.2:22 where root and the ordinary account kPlainUser log in with a key made for the
// sandbox (~/.ssh of the sandbox's private /root carries the key, the known host key and
// BatchMode yes, so that no ssh in a test can wait at a prompt).
//
// A test body runs inside the sandbox by re-running its own test there:
//
//   TEST(Suite, Name) {
//       PELLQUIN_IN_SYSTEMD_SANDBOX();
//       ...  // runs inside: the adapter's system bus is the sandbox's systemd
//   }
//
// Outside, the macro boots a sandbox, runs this test executable again inside it (nsenter by
// the init's PID, with only this test selected), forwards the inner run's output, makes its
// failure or skip this test's own, tears the sandbox down by PID and returns. Where the
// sandbox cannot be booted safely (not root, no namespaces, no systemd, a failed proof) the
// test is skipped with the reason.
class SystemdSandbox {
public:
    static constexpr const char* kSshAddress = "127.0.0.2";
    static constexpr const char* kSshAlias = "pellquin-remote";  // 127.0.0.2 in /etc/hosts
    static constexpr const char* kPlainUser = "pqoperator";      // not root, no sudo, no polkit

    enum class Status { kRunning, kSkipped, kFailed };

    // Boots the sandbox and returns when its systemd answers on the system bus and its sshd
    // accepts the sandbox's key (or once status() is not kRunning).
    SystemdSandbox();
    // Shutdown(), when not done yet; its problems are lost then.
    ~SystemdSandbox();
    SystemdSandbox(const SystemdSandbox&) = delete;
    SystemdSandbox& operator=(const SystemdSandbox&) = delete;

    Status status() const { return m_status; }
    // Why it was skipped or what failed, with the sandbox's console log when useful.
    const std::string& message() const { return m_message; }
    pid_t initPid() const { return m_init; }
    const std::string& stateDir() const { return m_state; }
    double bootSeconds() const { return m_bootSeconds; }

    // Runs a shell command inside all namespaces of the sandbox (as a child of its init's
    // PID namespace); returns its exit code (-1 when it could not run or timed out) and sets
    // *output to its standard output and error.
    int Run(const std::string& command, std::string* output, int timeoutSeconds = 60) const;

    // Kills the sandbox's init by its PID (the PID namespace and all in it end with it), waits
    // for it, removes its cgroup and state, and checks the host's /tmp: returns "" or the
    // problems found (the host canary gone or changed, the sandbox's marker on the host).
    std::string Shutdown();

    // Whether this process is the re-run of a test inside a sandbox, verified: PID 1 is
    // systemd, /tmp is a tmpfs that is not the host's, the mount namespace is not the host's.
    // *problem says what does not hold when the fixture's variable is set but a check fails.
    static bool Inside(std::string* problem);

private:
    void Boot();
    bool FindInit(pid_t launcher, double deadline);
    bool ProveFromHost();
    void Fail(Status status, const std::string& message);

    Status m_status = Status::kRunning;
    std::string m_message;
    std::string m_state;
    std::string m_canary;
    pid_t m_launcher = -1;
    pid_t m_init = -1;
    double m_bootSeconds = 0;
    bool m_down = false;
};

// What PELLQUIN_IN_SYSTEMD_SANDBOX does; sets *inside when the caller runs in the sandbox
// and should go on with the test body.
void RunCurrentTestInSystemdSandbox(bool* inside);

}  // namespace pellquin::test

#define PELLQUIN_IN_SYSTEMD_SANDBOX()                                      \
    do {                                                                   \
        bool pellquinInside = false;                                       \
        ::pellquin::test::RunCurrentTestInSystemdSandbox(&pellquinInside); \
        if (!pellquinInside) {                                             \
            return;                                                        \
        }                                                                  \
    } while (0)
