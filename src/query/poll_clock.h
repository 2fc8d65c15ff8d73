#pragma once

#include <chrono>
#include <memory>

namespace pellquin {

// The time and the pauses of a polling loop (waiting for a path to be free, watching it), an
// interface so tests run such loops at once on a fake clock.
class PollClock {
public:
    virtual ~PollClock() = default;
    virtual std::chrono::steady_clock::time_point Now() = 0;
    // Returns after `pause`, or earlier when the program is being stopped.
    virtual void SleepFor(std::chrono::milliseconds pause) = 0;
};

// The monotonic clock and a plain sleep.
std::unique_ptr<PollClock> MakeSteadyPollClock();

}  // namespace pellquin
