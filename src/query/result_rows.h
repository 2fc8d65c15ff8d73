#pragma once

#include <cstdint>
#include <locale>
#include <string>
#include <vector>

#include "query/pellquin_request.h"

namespace pellquin {

// The rows of a check as every front end shows them (the desktop program's results list,
// the command line's table, CSV and JSON): one set of columns, captions and cell texts.

// Columns of the results, in the order shown.
enum ResultColumn { kColumnId, kColumnFileName, kColumnUserName, kColumnLocks, kColumnPermissions };
constexpr int kResultColumnCount = 5;

// The column's caption ("ID", "File Name", ...). `column` is one of ResultColumn.
const char* ResultColumnCaption(int column);

// Whether the column holds a number (the id and the lock count), which orders and aligns as
// one rather than as text.
bool IsNumericColumn(int column);

// One row of the results: the texts it shows, plus what ordering needs. The texts are
// copies, so a row outlives the request it came from.
struct ResultRow {
    std::string cells[kResultColumnCount];
    int32_t id = 0;     // the id's 32 bits read as signed, as its text shows it
    int32_t locks = 0;  // likewise for the lock count
    std::string idKey;  // collation key of the id text under the list's locale
};

// Builds the rows of a successful query, in arrival order: the id as IdText shows it, the
// file name as the server reports it when `serverRelative`, else client-relative
// (ClientRelativeName), the user, the lock count read as signed, the permission letters.
std::vector<ResultRow> MakeResultRows(const TPellquinRequest& request, bool serverRelative);

// The order the list takes when it is filled: by the id text under `collation` (the user's
// locale, as the platform's locale-aware comparison does), ascending and stable, so ids
// 9, 10, 100 stand 10, 100, 9 and equal ids keep their arrival order. Sets each row's idKey.
void OrderByIdText(std::vector<ResultRow>& rows, const std::collate<char>& collation);

// The order after a header click, as a permutation: result[i] is the index in `rows` of the
// row that goes to position i. Numeric columns compare as signed numbers, the others by
// character codes (case-sensitive). Stable in both directions: equal rows keep their order.
std::vector<size_t> ColumnOrder(const std::vector<ResultRow>& rows, int column, bool ascending);

// Every row in the given order: the five cells separated by tabs, each row ended by CR LF,
// no header line. Empty for no rows.
std::string ResultsText(const std::vector<ResultRow>& rows);

// The locale the list collates id texts with: the user's locale from the environment, or
// the classic one when the environment names a locale this system lacks.
std::locale ListLocale();

}  // namespace pellquin
