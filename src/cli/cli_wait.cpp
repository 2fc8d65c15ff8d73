#include "cli/cli_commands.h"
#include "cli/cli_output.h"
#include "query/wait_until_free.h"

namespace pellquin {

int RunWait(const CliOptions& options, CliEngine& engine, PollClock& clock, std::ostream& out,
            std::ostream& err) {
    auto check = [&options, &engine](TPellquinRequest& request) {
        request.ClientPath = request.Path = options.path;
        engine.Query(request);
    };
    const WaitPlan plan{options.interval, options.timeout, options.serverRelative};
    const WaitResult result = WaitUntilNoRows(check, CliRowFilter(options), plan, clock);
    switch (result.outcome) {
        case WaitResult::Outcome::Free:
            return 0;
        case WaitResult::Outcome::Failed:
            err << ForTerminal(result.last.ErrorText) << "\n";
            return 1;
        case WaitResult::Outcome::TimedOut:
            break;
    }
    err << "still open under " << options.path << " after " << result.checks
        << (result.checks == 1 ? " check" : " checks") << ":\n";
    // The rows still open, as check shows them.
    TPellquinRequest open = result.last;
    open.Items.clear();
    const std::vector<ResultRow> rows = MakeResultRows(result.last, options.serverRelative);
    const std::vector<size_t> kept = CliRowFilter(options).Select(rows);
    for (const size_t i : kept) {
        open.Items.push_back(result.last.Items[i]);
    }
    WriteRows(out, open, options.serverRelative, options.format);
    return 1;
}

}  // namespace pellquin
