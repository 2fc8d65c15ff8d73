#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pellquin {

// What a command on a target machine did: its exit code (-1 when it could not be started or
// was cut off at its time limit), its standard output, and the last lines of its standard
// error made safe to show (control characters replaced, length bounded).
struct ShellResult {
    int exitCode = -1;
    std::string output;
    std::string errorText;
};

// The argument vector of ssh to `destination` (as typed: "host", "user@host", an alias of the
// user's ~/.ssh/config) running `remoteCommand`: never asks on a terminal (BatchMode=yes, no
// tty), gives up connecting after a few seconds, and takes "--" before the destination so
// that no name can pass for an option.
std::vector<std::string> SshArguments(const std::string& destination,
                                      const std::string& remoteCommand);

// Starts `argv` (looked up on PATH) in a session of its own, without a controlling terminal,
// with standard input, output and error connected to the given descriptors (-1: /dev/null).
// Returns its PID or -1 with errno set.
pid_t SpawnDetachedFromTerminal(const std::vector<std::string>& argv, int in, int out, int err);

// The text of a bounded standard error: printable characters only, trailing blanks cut, the
// last lines joined by "; ", at most about 300 bytes.
std::string SafeErrorText(const std::string& raw);

// A POSIX shell on this machine (empty target) or on a remote machine through ssh, as the user
// the destination names. Scripts come from this program, never from the operator; paths are
// passed through ShellQuoted.
class TargetShell {
public:
    explicit TargetShell(std::string target) : m_target(std::move(target)) {}

    // Runs `script` with `input` on its standard input, for at most `timeoutMs`.
    ShellResult Run(const std::string& script, const std::string& input = std::string(),
                    int timeoutMs = 60000) const;

    bool remote() const { return !m_target.empty(); }

private:
    std::string m_target;
};

// `text` as one word of a POSIX shell command.
std::string ShellQuoted(const std::string& text);

// The Win32 code of a failed shell run: 1722 when ssh could not reach or log in to the machine
// (exit 255) or nothing answered in time, 5 when the script reports missing rights (exit 5),
// 2 when a file is missing (exit 2), else 1003.
uint32_t Win32ErrorOfShell(const ShellResult& result, bool remote);

}  // namespace pellquin
