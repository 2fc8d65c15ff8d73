#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "samba_sandbox.h"

namespace pellquin::test {

// Holds files open on a sandbox's share through a pellquin-holder process, as a user's
// program would. The destructor ends that process by its PID (also when a test fails), which
// releases its handles on the server.
class FileHolder {
public:
    // Opens `files` on the share "data" as the user of `credentialsFile` (e.g.
    // sandbox.userCredentials()). Each entry is "r:PATH" (read) or "w:PATH" (write), PATH
    // relative to the share with '/' separators ("w:" opens for reading and writing).
    // Waits until all are open; see ok(). `files` may begin with "--share", NAME to open them
    // on another share of the sandbox's server.
    FileHolder(const SambaSandbox& sandbox, const std::string& credentialsFile,
               std::vector<std::string> files);

    // Creates (or reuses) `count` files bench/gen-NNNNNN.txt and holds them open for reading,
    // after the named `files`. Opening thousands takes seconds.
    FileHolder(const SambaSandbox& sandbox, const std::string& credentialsFile,
               std::vector<std::string> files, size_t count);

    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }
    pid_t pid() const { return m_pid; }

    enum class Probe { Open, Closed, Failed };
    // Asks the server about handle `index` (in the order given). A handle closed on the
    // server shows as Closed; Failed means no usable answer.
    Probe probe(size_t index);

    // Ends the holder now, releasing its handles.
    void release();

private:
    bool ReadLine(std::string* line, int timeoutMs);

    pid_t m_pid = -1;
    int m_toHolder = -1;
    int m_fromHolder = -1;
    std::string m_pending;
    bool m_ok = false;
    std::string m_error;
};

}  // namespace pellquin::test
