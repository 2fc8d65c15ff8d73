#include <algorithm>
#include <sstream>

#include "cli/cli_commands.h"
#include "query/row_filter.h"

namespace pellquin {
namespace {

TPellquinRequest CloseRequest(const std::string& path, uint32_t id) {
    TPellquinRequest request;
    request.ClientPath = request.Path = path;
    request.RequestKind = REQUEST_CLOSE;
    request.FileId = id;
    return request;
}

}  // namespace

int RunClose(const CliOptions& options, CliEngine& engine, const Confirm& confirm,
             std::ostream& out, std::ostream& err) {
    if (!options.ClosesBySelection()) {
        int status = 0;
        for (const uint32_t id : options.ids) {
            TPellquinRequest request = CloseRequest(options.path, id);
            engine.Close(request);
            if (!request.ErrorText.empty()) {
                err << id << ": " << ForTerminal(request.ErrorText) << "\n";
                status = std::max(status, FailureStatus(request));
            } else {
                out << "closed " << id << "\n";
            }
        }
        return status;
    }

    TPellquinRequest query;
    query.ClientPath = query.Path = options.path;
    query.RequestKind = REQUEST_QUERY;
    engine.Query(query);
    if (!query.ErrorText.empty()) {
        err << ForTerminal(query.ErrorText) << "\n";
        return FailureStatus(query);
    }
    const std::vector<ResultRow> rows = MakeResultRows(query, options.serverRelative);
    const std::vector<size_t> chosen =
        options.closeAll ? RowFilter().Select(rows) : CliRowFilter(options).Select(rows);
    if (chosen.empty()) {
        out << "nothing to close under " << options.path << "\n";
        return 0;
    }
    if (!options.yes) {
        std::ostringstream question;
        question << "Close " << chosen.size() << (chosen.size() == 1 ? " handle" : " handles");
        if (!options.users.empty()) {
            question << " of " << options.users[0];
            for (size_t i = 1; i < options.users.size(); ++i) {
                question << ", " << options.users[i];
            }
        }
        if (!options.match.empty()) {
            question << " matching '" << options.match << "'";
        }
        question << " under " << options.path << "?";
        if (!confirm) {
            err << "pellquin-cli: not closing " << chosen.size()
                << " handle(s) without --yes: no terminal to ask on\n";
            return 2;
        }
        if (!confirm(question.str())) {
            err << "nothing closed\n";
            return 2;
        }
    }
    size_t closed = 0;
    for (const size_t i : chosen) {
        const TPellquinItem& item = query.Items[i];
        TPellquinRequest request = CloseRequest(options.path, item.Id);
        engine.Close(request);
        if (!request.ErrorText.empty()) {
            err << item.Id << ": " << ForTerminal(request.ErrorText) << "\n";
        } else {
            ++closed;
            out << "closed " << item.Id << "  " << rows[i].cells[kColumnFileName] << "  "
                << rows[i].cells[kColumnUserName] << "\n";
        }
    }
    out << "closed " << closed << " of " << chosen.size() << " handle"
        << (chosen.size() == 1 ? "" : "s") << "\n";
    return closed == chosen.size() ? 0 : 1;
}

}  // namespace pellquin
