#include "queryservice/service_host.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace pellquin {
namespace {

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

void RedirectStandardStreams() {
    const int null = open("/dev/null", O_RDWR);
    if (null < 0) {
        return;
    }
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    if (null > STDERR_FILENO) {
        close(null);
    }
}

}  // namespace

int RunAsSystemService(const std::function<int(const ReadyReport&)>& serve,
                       const std::function<void()>& /*stop: SIGTERM reaches the server*/) {
    // The daemon reports over this pipe: "0" and nothing else when it serves, "1" and the
    // reason when it cannot.
    int report[2];
    if (pipe(report) != 0) {
        std::perror("PellquinService: pipe");
        return 1;
    }
    const pid_t first = fork();
    if (first < 0) {
        std::perror("PellquinService: fork");
        return 1;
    }
    if (first > 0) {
        close(report[1]);
        std::string text;
        char buffer[512];
        ssize_t n = 0;
        while ((n = read(report[0], buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
        close(report[0]);
        int status = 0;
        waitpid(first, &status, 0);
        if (text.empty()) {
            std::fprintf(stderr, "PellquinService: the daemon ended before it was ready\n");
            return 1;
        }
        if (text[0] != '0') {
            std::fprintf(stderr, "PellquinService: %s\n", text.c_str() + 1);
            return 1;
        }
        return 0;
    }

    // The intermediate child leaves the session; its own child, which can never regain a
    // controlling terminal, becomes the daemon.
    close(report[0]);
    setsid();
    const pid_t second = fork();
    if (second < 0) {
        WriteAll(report[1], "1cannot fork the daemon");
        _exit(1);
    }
    if (second > 0) {
        _exit(0);
    }
    // The starter may be gone by the time the daemon reports; a write to its closed pipe must
    // fail, not end the daemon.
    signal(SIGPIPE, SIG_IGN);
    umask(022);
    if (chdir("/") != 0) {
        WriteAll(report[1], "1cannot change to /");
        _exit(1);
    }
    RedirectStandardStreams();
    bool reported = false;
    const int code = serve([&reported, fd = report[1]](bool ok, const std::string& message) {
        if (reported) {
            return;
        }
        reported = true;
        WriteAll(fd, ok ? std::string("0") : "1" + message);
        close(fd);
    });
    if (!reported) {
        close(report[1]);
    }
    return code;
}

}  // namespace pellquin
