#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pellquin::test {

// A child process stopped by its PID (SIGTERM, then SIGKILL) when the object goes, also
// when a test fails.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `args` (found on PATH) with stdout on a pipe (see output()); false on failure.
    bool Start(const std::vector<std::string>& args);
    void Stop();
    bool Running();
    int output() const { return m_output; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
};

// Whether `program` is on PATH.
bool HaveProgram(const std::string& program);

// A port on `ip` with nothing listening at the moment of the call.
uint16_t UnusedPort(const std::string& ip);

// versions_server.py serving files from a private directory on `ip`, on a port it chose.
class VersionsServer {
public:
    explicit VersionsServer(const std::string& ip);
    ~VersionsServer();

    bool ok() const { return m_port != 0; }
    const std::string& error() const { return m_error; }
    // "http://IP:PORT" + path.
    std::string Url(const std::string& path) const;
    // Serves `text` as /versions/versions.xml.
    void Publish(const std::string& text) const;
    // Every request's line and headers so far.
    std::string RequestLog() const;
    void Stop() { m_process.Stop(); }

private:
    std::string m_ip;
    std::string m_dir;
    uint16_t m_port = 0;
    std::string m_error;
    ChildProcess m_process;
};

// microsocks on `ip`, with RFC 1929 user name and password when `user` is not empty.
class SocksServer {
public:
    SocksServer(const std::string& ip, const std::string& user = "",
                const std::string& password = "");

    bool ok() const { return m_port != 0; }
    uint16_t port() const { return m_port; }
    void Stop() { m_process.Stop(); }

private:
    uint16_t m_port = 0;
    ChildProcess m_process;
};

}  // namespace pellquin::test
