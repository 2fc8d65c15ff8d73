#include "platform/posix/target_shell_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace pellquin {
namespace {

constexpr size_t kErrorKept = 4096;
constexpr size_t kErrorShown = 300;

void CloseIfOpen(int fd) {
    if (fd >= 0) {
        close(fd);
    }
}

int Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::vector<std::string> SshArguments(const std::string& destination,
                                      const std::string& remoteCommand) {
    return {"ssh",
            "-x",
            "-T",
            "-o",
            "BatchMode=yes",
            "-o",
            "ConnectTimeout=10",
            "-o",
            "ServerAliveInterval=5",
            "-o",
            "ServerAliveCountMax=2",
            "--",
            destination,
            remoteCommand};
}

pid_t SpawnDetachedFromTerminal(const std::vector<std::string>& argv, int in, int out, int err) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    const int fds[3] = {in, out, err};
    for (int target = 0; target < 3; ++target) {
        if (fds[target] >= 0) {
            posix_spawn_file_actions_adddup2(&actions, fds[target], target);
        } else {
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null",
                                             target == 0 ? O_RDONLY : O_WRONLY, 0);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    // A session of its own: no controlling terminal, so ssh cannot prompt on the terminal the
    // program was started from while the window waits.
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int r = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (r != 0) {
        errno = r;
        return -1;
    }
    return pid;
}

std::string SafeErrorText(const std::string& raw) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : raw) {
        if (c == '\n' || c == '\r') {
            if (!line.empty()) {
                lines.push_back(line);
            }
            line.clear();
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        line += byte < 0x20 || byte == 0x7f ? ' ' : c;
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    std::string text;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        std::string item = *it;
        while (!item.empty() && item.back() == ' ') {
            item.pop_back();
        }
        if (item.empty()) {
            continue;
        }
        if (!text.empty() && text.size() + item.size() + 2 > kErrorShown) {
            break;
        }
        text = text.empty() ? item : item + "; " + text;
    }
    if (text.size() > kErrorShown) {
        text = text.substr(0, kErrorShown);
        // Never leave half of a UTF-8 sequence at the end.
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
            text.pop_back();
        }
        if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) {
            text.pop_back();
        }
        text += "...";
    }
    return text;
}

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

ShellResult TargetShell::Run(const std::string& script, const std::string& input,
                             int timeoutMs) const {
    ShellResult result;
    const std::vector<std::string> argv =
        m_target.empty() ? std::vector<std::string>{"/bin/sh", "-c", script}
                         : SshArguments(m_target, "sh -c " + ShellQuoted(script));
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    // Standard input is a socket, so that writing to a command that has ended fails with EPIPE
    // (MSG_NOSIGNAL) instead of raising SIGPIPE in the program.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
        pipe2(err, O_CLOEXEC) != 0) {
        result.errorText = std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
            CloseIfOpen(fd);
        }
        return result;
    }
    const pid_t pid = SpawnDetachedFromTerminal(argv, in[0], out[1], err[1]);
    const int spawnError = errno;
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        result.errorText = argv[0] + ": " + std::strerror(spawnError);
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return result;
    }
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    size_t written = 0;
    if (input.empty()) {
        close(in[1]);
        in[1] = -1;
    }
    std::string errors;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    while (out[0] >= 0 || err[0] >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        if (poll(fds, 3, static_cast<int>(left)) < 0) {
            if (errno == EINTR) {
                continue;
            }
            timedOut = true;
            break;
        }
        char buffer[65536];
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? out[0] : err[0];
            if (fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got > 0) {
                std::string& sink = i == 0 ? result.output : errors;
                sink.append(buffer, static_cast<size_t>(got));
                if (i == 1 && errors.size() > kErrorKept) {
                    errors.erase(0, errors.size() - kErrorKept);
                }
            } else if (got == 0 || errno != EINTR) {
                close(fd);
                fd = -1;
            }
        }
        if (in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t put = send(in[1], input.data() + written, input.size() - written,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put > 0) {
                written += static_cast<size_t>(put);
            }
            if ((put < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
                close(in[1]);
                in[1] = -1;
            }
        }
    }
    for (int fd : {in[1], out[0], err[0]}) {
        CloseIfOpen(fd);
    }
    if (timedOut) {
        kill(pid, SIGKILL);
    }
    const int code = Reap(pid);
    result.exitCode = timedOut ? -1 : code;
    result.errorText = SafeErrorText(errors);
    if (timedOut && result.errorText.empty()) {
        result.errorText = "no answer within " + std::to_string(timeoutMs / 1000) + " s";
    }
    return result;
}

uint32_t Win32ErrorOfShell(const ShellResult& result, bool remote) {
    if (result.exitCode == -1 || (remote && result.exitCode == 255)) {
        return 1722;
    }
    switch (result.exitCode) {
        case 0:
            return 0;
        case 2:
            return 2;
        case 5:
            return 5;
        default:
            return 1003;
    }
}

}  // namespace pellquin
