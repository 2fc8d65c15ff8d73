#include <algorithm>

#include "cli/cli_commands.h"
#include "cli/cli_output.h"
#include "query/row_filter.h"

namespace pellquin {

RowFilter CliRowFilter(const CliOptions& options) {
    RowFilter filter;
    filter.SetText(options.match);
    filter.SetUsers(options.users);
    return filter;
}

namespace {

// The request with only the rows that pass `filter`, the rows' file names read as the output
// will show them.
TPellquinRequest Narrowed(const TPellquinRequest& request, const RowFilter& filter,
                          bool serverRelative) {
    if (filter.IsEmpty()) {
        return request;
    }
    TPellquinRequest narrowed = request;
    narrowed.Items.clear();
    for (const size_t i : filter.Select(MakeResultRows(request, serverRelative))) {
        narrowed.Items.push_back(request.Items[i]);
    }
    return narrowed;
}

}  // namespace

int RunCheck(const CliOptions& options, CliEngine& engine, std::ostream& out, std::ostream& err) {
    const RowFilter filter = CliRowFilter(options);
    std::vector<CheckedPath> checks;
    int status = 0;
    for (const std::string& path : options.paths) {
        CheckedPath check;
        check.path = path;
        check.request.ClientPath = check.request.Path = path;
        check.request.RequestKind = REQUEST_QUERY;
        engine.Query(check.request);
        if (!check.request.ErrorText.empty()) {
            err << (options.paths.size() > 1 ? path + ": " : std::string())
                << ForTerminal(check.request.ErrorText) << "\n";
            status = std::max(status, FailureStatus(check.request));
        } else {
            check.request = Narrowed(check.request, filter, options.serverRelative);
        }
        checks.push_back(std::move(check));
    }
    if (options.paths.size() > 1 || status == 0) {
        WriteCheckedPaths(out, checks, options.serverRelative, options.format);
    }
    return status;
}

int RunWatch(const CliOptions& options, CliEngine& engine, PollClock& clock, bool redraw,
             const std::function<bool()>& goOn, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (bool first = true;; first = false) {
        if (redraw) {
            // Home and clear the screen, then the snapshot: it replaces the last in place.
            out << "\x1b[H\x1b[2J";
        } else if (!first && options.format == CliOptions::Format::Table) {
            out << "\n";
        }
        status = RunCheck(options, engine, out, err);
        out.flush();
        if (!goOn()) {
            return status;
        }
        clock.SleepFor(*options.watch);
    }
}

}  // namespace pellquin
