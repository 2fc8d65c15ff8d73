#pragma once

#include <ostream>

#include "cli/cli_options.h"
#include "query/pellquin_request.h"

namespace pellquin {

// Writes the rows of a successful check in the chosen format: an aligned table with a header
// line, a JSON array of objects, or CSV with a header line (RFC 4180 quoting). The cells and
// captions are the desktop program's (MakeResultRows), in the server's order; file names are
// client-relative unless `serverRelative`. Texts from the server are neutralised for a
// terminal (NeutralisedText; tabs stay in CSV cells) and JSON is always valid UTF-8.
// CSV cells beginning with "=", "+", "-" or "@" are written as they are: the ids are signed
// and begin with "-", and the CSV is for programs, which a prefix would mislead.
void WriteRows(std::ostream& out, const TPellquinRequest& request, bool serverRelative,
               CliOptions::Format format);

}  // namespace pellquin
