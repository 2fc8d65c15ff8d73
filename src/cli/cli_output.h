#pragma once

#include <ostream>

#include "cli/cli_options.h"
#include "query/pellquin_request.h"

namespace pellquin {

// Writes the rows of a successful check in the chosen format: an aligned table with a header
// line, a JSON array of objects, or CSV with a header line (RFC 4180 quoting). The cells and
// captions are the desktop program's (MakeResultRows), in the server's order; file names are
// client-relative unless `serverRelative`.
void WriteRows(std::ostream& out, const TPellquinRequest& request, bool serverRelative,
               CliOptions::Format format);

}  // namespace pellquin
