#include "samba_sandbox.h"

#include <stdlib.h>
#include <unistd.h>

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

SambaSandbox::~SambaSandbox() {
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
