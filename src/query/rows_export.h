#pragma once

#include <string>
#include <vector>

#include "query/result_rows.h"

namespace pellquin {

// The rows a list shows, written as the command line writes a check: CSV with the captions as
// the header line (RFC 4180 quoting, CR LF after every line) or a JSON array of objects with
// id, fileName, userName, locks and permissions. Ids and lock counts are unsigned, as the
// server reports them, whatever the list shows.
std::string RowsCsv(const std::vector<ResultRow>& rows);

// One CSV field as RFC 4180 writes it: quoted (with doubled quotes) when it holds a comma, a
// quote or a line break, else as it is.
std::string CsvField(const std::string& text);
std::string RowsJson(const std::vector<ResultRow>& rows);

}  // namespace pellquin
