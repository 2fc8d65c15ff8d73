#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "query/pellquin_request.h"
#include "query/poll_clock.h"
#include "query/row_filter.h"

namespace pellquin {

// How long to wait for a path to have nothing open, and how often to look.
struct WaitPlan {
    std::chrono::milliseconds interval{std::chrono::seconds(2)};  // more than 0
    std::optional<std::chrono::milliseconds> timeout;             // none: wait for ever
    bool serverRelative = false;  // how file names in the rows left open read
};

struct WaitResult {
    enum class Outcome { Free, TimedOut, Failed };
    Outcome outcome = Outcome::Failed;
    TPellquinRequest last;        // the last check made; its ErrorText tells why on Failed
    std::vector<ResultRow> open;  // on TimedOut: the rows the filter still lets through
    int checks = 0;
};

// Checks (by calling `check` with a fresh query request) until no row passes `filter`, then
// returns Free; a check is made at once and then every plan.interval, the last one at the
// deadline, so the answer comes at most one interval after the path becomes free. A check
// that fails (ErrorText set) ends the wait as Failed: a path that cannot be checked is not
// known to be free. Returns TimedOut after the deadline passes with rows still open. Exceptions
// from `check` pass through.
WaitResult WaitUntilNoRows(const std::function<void(TPellquinRequest&)>& check,
                           const RowFilter& filter, const WaitPlan& plan, PollClock& clock);

}  // namespace pellquin
