#include "browser/core/file_sort.h"

namespace pellquin {
namespace {

template <typename T>
int Order(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

int CompareFileItems(const FileItem& a, const FileItem& b, int sortKey) {
    const int sign = (sortKey & kSortDescending) != 0 ? -1 : 1;
    const int column = sortKey & ~kSortDescending;
    int result = 0;
    switch (column) {
        case kFileColumnName:
        case kFileColumnSize:
            if (a.tag != b.tag) {
                // Directories (tag 2) before files (tag 1).
                result = a.tag > b.tag ? -1 : 1;
            } else if (column == kFileColumnName) {
                // std::string compares bytes as unsigned values.
                const int order = a.nameKey.compare(b.nameKey);
                result = order < 0 ? -1 : (order > 0 ? 1 : 0);
            } else {
                result = Order(a.sizeKey, b.sizeKey);
            }
            break;
        case kFileColumnModified:
        case kFileColumnAccessed:
        case kFileColumnCreated:
            result = Order(a.timeKeys[column - kFileColumnModified],
                           b.timeKeys[column - kFileColumnModified]);
            break;
        default:
            result = 0;
    }
    return result * sign;
}

int FileSortState::ColumnClick(int column) {
    if (column < 0 || column >= kMaxColumns) {
        return column;
    }
    const int key = column + m_toggles[column];
    m_toggles[column] = m_toggles[column] == 0 ? kSortDescending : 0;
    m_marked = column;
    return key;
}

}  // namespace pellquin
