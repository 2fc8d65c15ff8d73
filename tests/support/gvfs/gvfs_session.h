#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "run_program.h"

namespace pellquin::test {

// A private GVfs session with SMB shares mounted through its FUSE bridge, as GNOME Files
// mounts them, seen only inside a private mount namespace (tests/support/gvfs/gvfs-session.sh:
// its own session bus, gvfsd and gvfsd-fuse on a temporary XDG_RUNTIME_DIR). Needs root.
// The destructor ends the session (unmount, every daemon stopped by its PID) and removes its
// folder, also when a test fails; should this process die, the session ends with the pipe.
class GvfsSession {
public:
    // Whether this machine can run it; *reason says why not (for GTEST_SKIP).
    static bool CanRun(std::string* reason);

    // Mounts each of `urls` (smb://server/share, percent-encoded) with the logon of
    // `credentialsFile` and returns once all are mounted or the session failed.
    GvfsSession(const std::string& credentialsFile, const std::vector<std::string>& urls);
    ~GvfsSession();
    GvfsSession(const GvfsSession&) = delete;
    GvfsSession& operator=(const GvfsSession&) = delete;

    bool ok() const { return m_ok; }
    // The session script found that GVfs cannot run here; error() says why.
    bool unsupported() const { return m_unsupported; }
    const std::string& error() const { return m_error; }

    // The FUSE folder of each URL ($XDG_RUNTIME_DIR/gvfs/smb-share:...), in the urls' order.
    const std::vector<std::string>& mountDirs() const { return m_mountDirs; }

    // Runs a program inside the session's mount namespace, where the mounts are seen.
    ProgramResult Run(const std::vector<std::string>& argv) const;

    // Runs `body` in a child process inside the session's mount namespace and returns what
    // it returned (an error text when it could not enter).
    std::string InMounts(const std::function<std::string()>& body) const;

private:
    bool ReadLine(std::string* line, int timeoutMs);
    void End();

    std::string m_dir;
    pid_t m_pid = -1;
    int m_toSession = -1;
    int m_fromSession = -1;
    std::string m_pending;
    std::vector<std::string> m_mountDirs;
    bool m_ok = false;
    bool m_unsupported = false;
    std::string m_error;
};

}  // namespace pellquin::test
