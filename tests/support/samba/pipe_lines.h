#pragma once

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace pellquin::test {

// The next line a child process writes on the pipe `fd`, without its '\n'. `pending` keeps
// what was read past that line for the next call. False at the deadline, or at the end of
// input (then *line holds what was left unterminated, often the child's last words).
inline bool ReadPipeLine(int fd, std::string* pending, std::string* line, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto newline = pending->find('\n');
        if (newline != std::string::npos) {
            *line = pending->substr(0, newline);
            pending->erase(0, newline + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return false;
        }
        pollfd ready = {fd, POLLIN, 0};
        const int count = poll(&ready, 1, static_cast<int>(left));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            *line = *pending;
            return false;
        }
        pending->append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace pellquin::test
