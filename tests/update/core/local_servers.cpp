#include "local_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace pellquin::test {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Address(const std::string& ip, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
    return address;
}

bool Accepts(const std::string& ip, uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Address(ip, port);
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        // microsocks reports every client on stderr; the tests have no use for it.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    m_output = pipeFds[0];
    return m_pid > 0;
}

void ChildProcess::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
    }
    if (m_output >= 0) {
        close(m_output);
        m_output = -1;
    }
}

bool ChildProcess::Running() {
    int status = 0;
    if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != 0) {
        m_pid = -1;
        return false;
    }
    return true;
}

bool HaveProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

uint16_t UnusedPort(const std::string& ip) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Address(ip, 0);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

VersionsServer::VersionsServer(const std::string& ip) : m_ip(ip) {
    char pattern[] = "/tmp/pq-versions-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        m_error = "mkdtemp failed";
        return;
    }
    m_dir = pattern;
    std::filesystem::create_directories(m_dir + "/versions");
    if (!m_process.Start({"python3", PELLQUIN_VERSIONS_SERVER, ip, m_dir})) {
        m_error = "could not start python3";
        return;
    }
    // The script prints its port once it listens.
    std::string line;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (line.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd watch{m_process.output(), POLLIN, 0};
        char buffer[64];
        ssize_t n = 0;
        if (left <= 0 || poll(&watch, 1, static_cast<int>(left)) <= 0 ||
            (n = read(m_process.output(), buffer, sizeof buffer)) <= 0) {
            m_error = "the versions server did not start";
            return;
        }
        line.append(buffer, static_cast<size_t>(n));
    }
    m_port = static_cast<uint16_t>(std::atoi(line.c_str()));
}

VersionsServer::~VersionsServer() {
    m_process.Stop();
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}

std::string VersionsServer::Url(const std::string& path) const {
    return "http://" + m_ip + ":" + std::to_string(m_port) + path;
}

void VersionsServer::Publish(const std::string& text) const {
    std::ofstream(m_dir + "/versions/versions.xml", std::ios::binary | std::ios::trunc) << text;
}

std::string VersionsServer::RequestLog() const {
    std::ifstream in(m_dir + "/requests.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

SocksServer::SocksServer(const std::string& ip, const std::string& user,
                         const std::string& password) {
    // The port is free when chosen; another process may take it before microsocks binds it,
    // in which case microsocks ends and another port is tried.
    for (int attempt = 0; attempt < 5 && m_port == 0; ++attempt) {
        const uint16_t port = UnusedPort(ip);
        std::vector<std::string> args = {"microsocks", "-i", ip, "-p", std::to_string(port)};
        if (!user.empty()) {
            args.insert(args.end(), {"-u", user, "-P", password});
        }
        m_process.Stop();
        if (!m_process.Start(args)) {
            continue;
        }
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline && m_process.Running()) {
            if (Accepts(ip, port)) {
                m_port = port;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

}  // namespace pellquin::test
