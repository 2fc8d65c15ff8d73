#pragma once

#include "browser/core/file_item.h"

namespace pellquin {

// Bit of a sort key that asks for descending order; the rest of the key is the column.
constexpr int kSortDescending = 0x100;

// The file list's order for `sortKey`: negative when `a` sorts first, positive when `b`
// does, 0 when equal. By name and by size directories come before files; by the time
// stamps they are mixed. A descending key gives the exact reverse, grouping included.
int CompareFileItems(const FileItem& a, const FileItem& b, int sortKey);

// The per-column direction toggles and the header marker of the file list, for the life
// of the program: a column's first click sorts ascending, each further click reverses it,
// whatever other columns were clicked in between. Refilling the list changes neither.
class FileSortState {
public:
    static constexpr int kMaxColumns = 20;

    // The sort key for a click on `column`; flips that column's toggle and moves the
    // marker to it. A column outside the tracked range sorts ascending.
    int ColumnClick(int column);

    // The column that shows the header marker; -1 before any click.
    int MarkedColumn() const { return m_marked; }

private:
    int m_toggles[kMaxColumns] = {};
    int m_marked = -1;
};

}  // namespace pellquin
