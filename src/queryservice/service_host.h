#pragma once

#include <functional>
#include <string>

namespace pellquin {

// Tells whoever started the service whether it is serving: `ok` false with the reason when
// it could not start.
using ReadyReport = std::function<void(bool ok, const std::string& message)>;

// Runs `serve` as this system's background service and returns the exit code for the
// process. On POSIX the process detaches into a daemon; the starting process waits for the
// daemon's ready report, prints a failure, and exits with its status. On Windows it runs
// under the Service Control Manager, and `stop` is called for the stop control. `serve`
// calls its ReadyReport once, then serves until stopped, and returns the exit code.
int RunAsSystemService(const std::function<int(const ReadyReport&)>& serve,
                       const std::function<void()>& stop);

}  // namespace pellquin
