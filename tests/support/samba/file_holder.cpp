#include "file_holder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "pipe_lines.h"

namespace pellquin::test {
namespace {

constexpr int READY_TIMEOUT_MS = 120000;
constexpr int PROBE_TIMEOUT_MS = 15000;

}  // namespace

FileHolder::FileHolder(const SambaSandbox& sandbox, const std::string& credentialsFile,
                       std::vector<std::string> files)
    : FileHolder(sandbox, credentialsFile, std::move(files), 0) {}

FileHolder::FileHolder(const SambaSandbox& sandbox, const std::string& credentialsFile,
                       std::vector<std::string> files, size_t count) {
    std::vector<std::string> argv = {PELLQUIN_HOLDER_PATH, "--credentials", credentialsFile,
                                     "--server", sandbox.ip()};
    // Creating files through SMB costs several times as much as opening existing ones.
    for (size_t i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/bench/gen-%06zu.txt", i);
        const int fd =
            open((sandbox.shareDir() + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fchmod(fd, 0666);
            close(fd);
        }
    }
    if (count > 0) {
        argv.push_back("--generate");
        argv.push_back(std::to_string(count));
    }
    argv.insert(argv.end(), files.begin(), files.end());
    std::vector<char*> args;
    for (auto& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);

    int toHolder[2];
    int fromHolder[2];
    if (pipe2(toHolder, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return;
    }
    if (pipe2(fromHolder, O_CLOEXEC) != 0) {
        close(toHolder[0]);
        close(toHolder[1]);
        m_error = "pipe failed";
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        dup2(toHolder[0], 0);
        dup2(fromHolder[1], 1);
        execv(args[0], args.data());
        _exit(127);
    }
    close(toHolder[0]);
    close(fromHolder[1]);
    m_toHolder = toHolder[1];
    m_fromHolder = fromHolder[0];
    if (m_pid < 0) {
        m_error = "fork failed";
        return;
    }
    std::string line;
    const auto opened = std::count_if(files.begin(), files.end(), [](const std::string& file) {
        return file.rfind("r:", 0) == 0 || file.rfind("w:", 0) == 0;
    });
    const std::string expected = "ready " + std::to_string(static_cast<size_t>(opened) + count);
    if (!ReadLine(&line, READY_TIMEOUT_MS) || line != expected) {
        m_error = "pellquin-holder did not get ready (said \"" + line + "\"; see its stderr)";
        return;
    }
    m_ok = true;
}

FileHolder::~FileHolder() {
    release();
}

void FileHolder::release() {
    if (m_toHolder >= 0) {
        close(m_toHolder);
        m_toHolder = -1;
    }
    if (m_pid > 0) {
        // The end of stdin makes it exit; a holder stuck in a call is killed.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
    }
    if (m_fromHolder >= 0) {
        close(m_fromHolder);
        m_fromHolder = -1;
    }
}

FileHolder::Probe FileHolder::probe(size_t index) {
    if (m_toHolder < 0) {
        return Probe::Failed;
    }
    const std::string command = "probe " + std::to_string(index) + "\n";
    if (write(m_toHolder, command.data(), command.size()) != static_cast<ssize_t>(command.size())) {
        return Probe::Failed;
    }
    std::string line;
    if (!ReadLine(&line, PROBE_TIMEOUT_MS)) {
        return Probe::Failed;
    }
    if (line == "ok " + std::to_string(index)) {
        return Probe::Open;
    }
    if (line == "closed " + std::to_string(index)) {
        return Probe::Closed;
    }
    return Probe::Failed;
}

bool FileHolder::ReadLine(std::string* line, int timeoutMs) {
    return ReadPipeLine(m_fromHolder, &m_pending, line, timeoutMs);
}

}  // namespace pellquin::test
