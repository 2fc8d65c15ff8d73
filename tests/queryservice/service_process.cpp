#include "service_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace pellquin::test {

ServiceProcess::ServiceProcess(const std::string& ip, uint16_t port, const std::string& configText,
                               const std::vector<std::string>& extraArgs) {
    char pattern[] = "/tmp/pq-service-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        m_error = "mkdtemp failed";
        return;
    }
    m_dir = pattern;
    const std::string config = m_dir + "/service.conf";
    std::ofstream(config) << configText << "\nlog_dir = " << m_dir << "\n";

    std::vector<std::string> args = {
        PELLQUIN_SERVICE_PATH, "--foreground", "--listen", ip, "--port",
        std::to_string(port),  "--config",     config};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    m_output = pipeFds[0];
    if (m_pid < 0) {
        m_error = "fork failed";
        return;
    }

    // Ready when it says so; a failure to start ends the process with its reason.
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (output.find("listening on") == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd watch{m_output, POLLIN, 0};
        char buffer[512];
        ssize_t n = 0;
        if (left <= 0 || poll(&watch, 1, static_cast<int>(left)) <= 0 ||
            (n = read(m_output, buffer, sizeof buffer)) <= 0) {
            m_error = "the service did not start: " + output;
            return;
        }
        output.append(buffer, static_cast<size_t>(n));
    }
    m_ok = true;
}

ServiceProcess::~ServiceProcess() {
    stop();
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}

void ServiceProcess::stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 100 && !ended; ++i) {
            ended = waitpid(m_pid, &status, WNOHANG) == m_pid;
            if (!ended) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        if (!ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }
    if (m_output >= 0) {
        close(m_output);
        m_output = -1;
    }
}

size_t ServiceProcess::OpenDescriptors() const {
    size_t count = 0;
    std::error_code ec;
    for (auto it =
             std::filesystem::directory_iterator("/proc/" + std::to_string(m_pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        ++count;
    }
    return count;
}

long ServiceProcess::ResidentKb() const {
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

}  // namespace pellquin::test
