#include "app/results_model.h"

namespace pellquin {
namespace {

Qt::Alignment ColumnAlignment(int column) {
    return (column == kColumnLocks ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent), m_locale(ListLocale()) {}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kResultColumnCount;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        return QString::fromStdString(m_rows[index.row()].cells[index.column()]);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(ColumnAlignment(index.column()));
    }
    return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kResultColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        return QString::fromUtf8(ResultColumnCaption(section));
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(ColumnAlignment(section));
    }
    return {};
}

void ResultsModel::SetRows(std::vector<ResultRow> rows) {
    OrderByIdText(rows, std::use_facet<std::collate<char>>(m_locale));
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ResultsModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

void ResultsModel::SortByColumn(int column, bool ascending) {
    const std::vector<size_t> order = ColumnOrder(m_rows, column, ascending);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<ResultRow> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newPosition(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(m_rows[order[i]]));
        newPosition[order[i]] = static_cast<int>(i);
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.append(this->index(newPosition[index.row()], index.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace pellquin
