#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "query/pellquin_request.h"

namespace pellquin {

// Writes the rows of a successful check in the chosen format: an aligned table with a header
// line, a JSON array of objects, or CSV with a header line (RFC 4180 quoting). The cells and
// captions are the desktop program's (MakeResultRows), in the server's order; file names are
// client-relative unless `serverRelative`. Ids and lock counts read unsigned in every format,
// as the server reports them (the desktop list shows ids signed). Texts from the server are
// neutralised for a terminal (NeutralisedText; tabs stay in CSV cells) and JSON is always
// valid UTF-8. CSV cells beginning with "=", "+", "-" or "@" are written as they are: the CSV
// is for programs, which a prefix would mislead.
void WriteRows(std::ostream& out, const TPellquinRequest& request, bool serverRelative,
               CliOptions::Format format);

// One path of a check and its answer.
struct CheckedPath {
    std::string path;  // as the user gave it
    TPellquinRequest request;
};

// The rows of several checks as one output. One check is written exactly as WriteRows does;
// with several, each row is tagged with its path: a "path" member first in each JSON object,
// a leading "Path" column in CSV, and in the table a line with the path above that path's
// rows. Checks that failed (ErrorText set) contribute no rows.
void WriteCheckedPaths(std::ostream& out, const std::vector<CheckedPath>& checks,
                       bool serverRelative, CliOptions::Format format);

}  // namespace pellquin
