#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "cli/cli_engine.h"
#include "cli/cli_options.h"
#include "query/poll_clock.h"
#include "query/row_filter.h"

namespace pellquin {

// The commands of pellquin-cli. Each writes its answer to `out` and its errors (one line each,
// naming the path or the id) to `err`, and returns the program's exit status.

// The rows --user and --match ask for.
RowFilter CliRowFilter(const CliOptions& options);

// check PATH...: every path in turn, a failure of one reported and the others still checked;
// rows narrowed by --user and --match. 0 when every path was checked, else 1.
int RunCheck(const CliOptions& options, CliEngine& engine, std::ostream& out, std::ostream& err);

// check --watch: RunCheck now and then every options.watch while `goOn()` says so. With
// `redraw` (a terminal) each snapshot replaces the last on the screen; otherwise snapshots
// follow each other, a blank line between tables. Returns the last check's status.
int RunWatch(const CliOptions& options, CliEngine& engine, PollClock& clock, bool redraw,
             const std::function<bool()>& goOn, std::ostream& out, std::ostream& err);

// How close --user / --match / --all asks before closing: given the question, whether to go
// on. Empty when there is no one to ask (not a terminal).
using Confirm = std::function<bool(const std::string& question)>;

// close PATH ID... closes the ids in turn; close --user / --match / --all checks the path and
// closes every handle that passes the filter, after `confirm` unless options.yes. One line per
// handle ("closed ID  FILE  USER" on `out`, "ID: error" on `err`), a failure not stopping the
// others, and for a selection a summary line. 0 when every handle closed (or none was open),
// 1 when one failed or the check failed, 2 when not confirmed or no one could be asked.
int RunClose(const CliOptions& options, CliEngine& engine, const Confirm& confirm,
             std::ostream& out, std::ostream& err);

// wait PATH: WaitUntilNoRows with the options' interval, time-out and filter. 0 when nothing
// (that passes the filter) is open; 1 on time-out, with the rows still open written to `out`
// in the chosen format, or when a check fails.
int RunWait(const CliOptions& options, CliEngine& engine, PollClock& clock, std::ostream& out,
            std::ostream& err);

}  // namespace pellquin
