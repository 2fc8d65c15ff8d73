#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pellquin::test {

// The built PellquinService running in the foreground as a child process, with a
// configuration file and log directory of its own in a temporary directory. The destructor
// stops it by its PID (SIGTERM, then SIGKILL) and removes the directory, also when a test
// fails.
class ServiceProcess {
public:
    // Starts `PellquinService --foreground --listen IP --port PORT --config FILE` with
    // `configText` (log_dir is added) and waits until it listens; see ok() and error().
    ServiceProcess(const std::string& ip, uint16_t port, const std::string& configText,
                   const std::vector<std::string>& extraArgs = {});
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }
    pid_t pid() const { return m_pid; }
    std::string logPath() const { return m_dir + "/Pellquin.log"; }

    // Stops the service now.
    void stop();

    // Open descriptors and resident memory (kB) of the service, from /proc.
    size_t OpenDescriptors() const;
    long ResidentKb() const;

private:
    std::string m_dir;
    pid_t m_pid = -1;
    int m_output = -1;
    bool m_ok = false;
    std::string m_error;
};

}  // namespace pellquin::test
