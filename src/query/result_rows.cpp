#include "query/result_rows.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "query/result_format.h"

namespace pellquin {
namespace {

const char* const kCaptions[kResultColumnCount] = {"ID", "File Name", "User Name", "# Locks",
                                                   "Permissions"};

}  // namespace

const char* ResultColumnCaption(int column) {
    return kCaptions[column];
}

bool IsNumericColumn(int column) {
    return column == kColumnId || column == kColumnLocks;
}

std::vector<ResultRow> MakeResultRows(const TPellquinRequest& request, bool serverRelative) {
    std::vector<ResultRow> rows;
    rows.reserve(request.Items.size());
    const std::string& base =
        request.RowsBasePath.empty() ? request.ServerPath : request.RowsBasePath;
    const std::string client =
        ClientPathAsServerSpells(request.ClientPath, request.PathBelowShare, base);
    for (const TPellquinItem& item : request.Items) {
        ResultRow row;
        row.id = static_cast<int32_t>(item.Id);
        row.locks = static_cast<int32_t>(item.NumLocks);
        row.cells[kColumnId] = IdText(item.Id);
        row.cells[kColumnFileName] =
            serverRelative ? item.PathName : ClientRelativeName(item.PathName, base, client);
        row.cells[kColumnUserName] = item.UserName;
        row.cells[kColumnLocks] = std::to_string(row.locks);
        row.cells[kColumnPermissions] = PermissionLetters(item.Permissions);
        rows.push_back(std::move(row));
    }
    return rows;
}

void OrderByIdText(std::vector<ResultRow>& rows, const std::collate<char>& collation) {
    for (ResultRow& row : rows) {
        const std::string& text = row.cells[kColumnId];
        row.idKey = collation.transform(text.data(), text.data() + text.size());
    }
    // Keys compare as bytes exactly as their texts collate, so the locale is consulted once
    // per row rather than once per comparison.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ResultRow& a, const ResultRow& b) { return a.idKey < b.idKey; });
}

std::vector<size_t> ColumnOrder(const std::vector<ResultRow>& rows, int column, bool ascending) {
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    auto less = [&rows, column](size_t a, size_t b) {
        const ResultRow& x = rows[a];
        const ResultRow& y = rows[b];
        switch (column) {
            case kColumnId:
                return x.id < y.id;
            case kColumnLocks:
                return x.locks < y.locks;
            default:
                // std::string compares as unsigned char codes, byte for byte.
                return x.cells[column] < y.cells[column];
        }
    };
    if (ascending) {
        std::stable_sort(order.begin(), order.end(), less);
    } else {
        std::stable_sort(order.begin(), order.end(),
                         [&less](size_t a, size_t b) { return less(b, a); });
    }
    return order;
}

std::string ResultsText(const std::vector<ResultRow>& rows) {
    std::string text;
    for (const ResultRow& row : rows) {
        text += row.cells[0];
        for (int c = 1; c < kResultColumnCount; ++c) {
            text += '\t';
            text += row.cells[c];
        }
        text += "\r\n";
    }
    return text;
}

std::locale ListLocale() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic();
    }
}

}  // namespace pellquin
