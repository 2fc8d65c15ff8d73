#include "query/wait_until_free.h"

#include <algorithm>
#include <thread>

namespace pellquin {
namespace {

class SteadyPollClock : public PollClock {
public:
    std::chrono::steady_clock::time_point Now() override {
        return std::chrono::steady_clock::now();
    }
    void SleepFor(std::chrono::milliseconds pause) override { std::this_thread::sleep_for(pause); }
};

}  // namespace

std::unique_ptr<PollClock> MakeSteadyPollClock() {
    return std::make_unique<SteadyPollClock>();
}

WaitResult WaitUntilNoRows(const std::function<void(TPellquinRequest&)>& check,
                           const RowFilter& filter, const WaitPlan& plan, PollClock& clock) {
    using std::chrono::milliseconds;
    const auto start = clock.Now();
    WaitResult result;
    for (;;) {
        result.last = TPellquinRequest();
        result.last.RequestKind = REQUEST_QUERY;
        check(result.last);
        ++result.checks;
        if (!result.last.ErrorText.empty()) {
            result.outcome = WaitResult::Outcome::Failed;
            return result;
        }
        const std::vector<ResultRow> rows = MakeResultRows(result.last, plan.serverRelative);
        result.open.clear();
        for (const size_t i : filter.Select(rows)) {
            result.open.push_back(rows[i]);
        }
        if (result.open.empty()) {
            result.outcome = WaitResult::Outcome::Free;
            return result;
        }
        milliseconds pause = plan.interval;
        if (plan.timeout) {
            const auto elapsed = std::chrono::duration_cast<milliseconds>(clock.Now() - start);
            if (elapsed >= *plan.timeout) {
                result.outcome = WaitResult::Outcome::TimedOut;
                return result;
            }
            // The last check falls on the deadline rather than up to an interval past it.
            pause = std::min(pause, *plan.timeout - elapsed);
        }
        clock.SleepFor(pause);
    }
}

}  // namespace pellquin
