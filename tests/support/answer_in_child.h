#pragma once

// POSIX only.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace pellquin::test {

// Runs `body` in a child process that an alarm ends after `seconds`, so that a call that
// blocks (a read from a FIFO, say) fails the test instead of hanging it. Returns what `body`
// returned, or "(no answer)" when the child ended without one.
inline std::string AnswerInChild(const std::function<std::string()>& body, unsigned seconds = 10) {
    int fds[2];
    if (pipe(fds) != 0) {
        return "(no pipe)";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        alarm(seconds);
        const std::string answer = body();
        _exit(write(fds[1], answer.data(), answer.size()) < 0 ? 1 : 0);
    }
    close(fds[1]);
    std::string answer;
    char buffer[512];
    ssize_t count = 0;
    while ((count = read(fds[0], buffer, sizeof buffer)) > 0) {
        answer.append(buffer, static_cast<size_t>(count));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return answer.empty() ? "(no answer)" : answer;
}

}  // namespace pellquin::test
