#include "samba_sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "run_program.h"

namespace pellquin::test {

bool SambaSandbox::CanRun(std::string* reason) {
    if (geteuid() != 0) {
        *reason = "needs root: it creates Unix accounts and binds port 445";
        return false;
    }
    if (access("/usr/sbin/smbd", X_OK) != 0) {
        *reason = "needs smbd (Debian package samba)";
        return false;
    }
    return true;
}

std::string SambaSandbox::ScriptPath() {
    return PELLQUIN_SAMBA_SANDBOX_SCRIPT;
}

SambaSandbox::SambaSandbox(std::string ip) : m_ip(std::move(ip)) {
    char pattern[] = "/tmp/pellquin-samba-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        m_error = "cannot create a temporary directory";
        return;
    }
    m_dir = pattern;
    StartWatchdog();
    const ProgramResult result = RunProgram({ScriptPath(), "start", m_dir, m_ip});
    // Even a failed start may have left a daemon behind; stop() cleans up by pid files.
    m_running = true;
    if (result.exitCode != 0) {
        m_error = "samba-sandbox.sh start failed (" + std::to_string(result.exitCode) +
                  "): " + result.out + result.err;
        return;
    }
    m_ok = true;
}

// A test that crashes or is killed by ctest's time-out runs no destructor. A child process
// waits on a pipe that only this process writes to; when the pipe breaks without the
// destructor having dismissed the child, it stops the server by its pid files.
void SambaSandbox::StartWatchdog() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    const std::string script = ScriptPath();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[1]);
        setsid();  // out of the test's process group, which a time-out may kill
        char byte;
        while (read(fds[0], &byte, 1) < 0 && errno == EINTR) {
        }
        execl(script.c_str(), script.c_str(), "stop", m_dir.c_str(), "--remove",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[0]);
    if (pid < 0) {
        close(fds[1]);
        return;
    }
    m_watchdog = pid;
    m_watchdogPipe = fds[1];
}

SambaSandbox::~SambaSandbox() {
    if (m_watchdog > 0) {
        kill(m_watchdog, SIGKILL);
        waitpid(m_watchdog, nullptr, 0);
        close(m_watchdogPipe);
    }
    if (!m_dir.empty()) {
        // Kills the server's processes by the PIDs in its pid files, then deletes the folder.
        RunProgram({ScriptPath(), "stop", m_dir, "--remove"});
    }
}

void SambaSandbox::stop() {
    if (m_running) {
        RunProgram({ScriptPath(), "stop", m_dir});
        m_running = false;
    }
}

std::string SambaSandbox::serverFolder() const {
    std::string folder = "C:" + shareDir();
    for (char& c : folder) {
        if (c == '/') {
            c = '\\';
        }
    }
    return folder;
}

}  // namespace pellquin::test
