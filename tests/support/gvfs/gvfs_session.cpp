#include "gvfs_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "answer_in_child.h"
#include "pipe_lines.h"

namespace pellquin::test {
namespace {

// Starting the bus and the daemons takes a second or two, each mount about as long.
constexpr int READY_TIMEOUT_MS = 90000;
constexpr int SKIP_STATUS = 77;

std::string NamespaceOf(const std::string& process) {
    char target[256] = {};
    const ssize_t n = readlink(("/proc/" + process + "/ns/mnt").c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

}  // namespace

bool GvfsSession::CanRun(std::string* reason) {
    if (geteuid() != 0) {
        *reason = "needs root: it makes private mount and PID namespaces and mounts FUSE";
        return false;
    }
    const char* const programs[] = {
        "/usr/libexec/gvfsd",   "/usr/libexec/gvfsd-fuse", "/usr/libexec/gvfsd-smb",
        "/usr/bin/gio",         "/usr/bin/gdbus",          "/usr/bin/dbus-daemon",
        "/usr/bin/fusermount3", "/usr/bin/unshare",        "/usr/bin/nsenter"};
    for (const char* program : programs) {
        if (access(program, X_OK) != 0) {
            *reason = std::string("needs ") + program +
                      " (Debian packages gvfs-backends, gvfs-fuse, dbus-daemon, util-linux)";
            return false;
        }
    }
    struct stat info {};
    if (stat("/dev/fuse", &info) != 0 || !S_ISCHR(info.st_mode)) {
        *reason = "needs /dev/fuse (the fuse kernel module)";
        return false;
    }
    return true;
}

GvfsSession::GvfsSession(const std::string& credentialsFile, const std::vector<std::string>& urls) {
    char pattern[] = "/tmp/pellquin-gvfs-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        m_error = "cannot create a temporary directory";
        return;
    }
    m_dir = pattern;
    std::vector<std::string> argv = {PELLQUIN_GVFS_SESSION_SCRIPT, m_dir, credentialsFile};
    argv.insert(argv.end(), urls.begin(), urls.end());
    std::vector<char*> args;
    for (auto& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    const std::string errors = m_dir + "/session.err";

    int toSession[2];
    int fromSession[2];
    if (pipe2(toSession, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return;
    }
    if (pipe2(fromSession, O_CLOEXEC) != 0) {
        close(toSession[0]);
        close(toSession[1]);
        m_error = "pipe failed";
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        dup2(toSession[0], 0);
        dup2(fromSession[1], 1);
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err >= 0) {
            dup2(err, 2);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    close(toSession[0]);
    close(fromSession[1]);
    m_toSession = toSession[1];
    m_fromSession = fromSession[0];
    if (m_pid < 0) {
        m_error = "fork failed";
        return;
    }

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(READY_TIMEOUT_MS);
    std::string line;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || !ReadLine(&line, static_cast<int>(left))) {
            break;
        }
        if (line.rfind("mount ", 0) == 0) {
            m_mountDirs.push_back(line.substr(6));
        } else if (line == "ready") {
            // The script checked that its mounts do not propagate; this checks that they are
            // in a namespace of their own at all.
            if (NamespaceOf(std::to_string(m_pid)) == NamespaceOf("self")) {
                m_error = "the session runs in this process's mount namespace";
                return;
            }
            m_ok = m_mountDirs.size() == urls.size();
            if (!m_ok) {
                m_error = "the session reported " + std::to_string(m_mountDirs.size()) +
                          " mounts for " + std::to_string(urls.size()) + " URLs";
            }
            return;
        }
    }
    End();
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    m_error = text.str();
    if (m_error.empty()) {
        m_error = "gvfs-session.sh said nothing and did not get ready";
    }
}

GvfsSession::~GvfsSession() {
    End();
    if (!m_dir.empty()) {
        // The mounts lived in the ended namespace; here the folder holds plain files only.
        RunProgram({"rm", "-rf", "--one-file-system", m_dir});
    }
}

void GvfsSession::End() {
    if (m_toSession >= 0) {
        // A session that ended already closed the pipe: the SIGPIPE is taken back, not fatal.
        sigset_t pipeSignal;
        sigset_t previous;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
        const char end[] = "end\n";
        if (write(m_toSession, end, sizeof end - 1) < 0 && errno == EPIPE) {
            const timespec now{};
            sigtimedwait(&pipeSignal, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        close(m_toSession);
        m_toSession = -1;
    }
    if (m_pid > 0) {
        // "end" ends the session; a session stuck in a call is killed, and with it (unshare
        // --kill-child) every process in its PID namespace.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        pid_t done = 0;
        while ((done = waitpid(m_pid, &status, WNOHANG)) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!m_ok && done == m_pid && WIFEXITED(status) && WEXITSTATUS(status) == SKIP_STATUS) {
            m_unsupported = true;
        }
        m_pid = -1;
    }
    if (m_fromSession >= 0) {
        close(m_fromSession);
        m_fromSession = -1;
    }
}

ProgramResult GvfsSession::Run(const std::vector<std::string>& argv) const {
    std::vector<std::string> inside = {"nsenter", "--target", std::to_string(m_pid), "--mount",
                                       "--"};
    inside.insert(inside.end(), argv.begin(), argv.end());
    return RunProgram(inside);
}

std::string GvfsSession::InMounts(const std::function<std::string()>& body) const {
    const std::string ns = "/proc/" + std::to_string(m_pid) + "/ns/mnt";
    return AnswerInChild(
        [&]() -> std::string {
            const int fd = open(ns.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || setns(fd, CLONE_NEWNS) != 0) {
                return "cannot enter the session's mount namespace: " +
                       std::string(strerror(errno));
            }
            close(fd);
            return body();
        },
        30);
}

bool GvfsSession::ReadLine(std::string* line, int timeoutMs) {
    return ReadPipeLine(m_fromSession, &m_pending, line, timeoutMs);
}

}  // namespace pellquin::test
