#include "browser/file_list_model.h"

#include <algorithm>

#include "browser/core/drive_item.h"
#include "browser/core/file_sort.h"

namespace pellquin {
namespace {

const char* const kCaptions[kFileColumnCount] = {"File Name", "Size", "Date Modified",
                                                 "Date Accessed", "Date Created"};

}  // namespace

FileListModel::FileListModel(QList<QIcon> images, QObject* parent)
    : QAbstractTableModel(parent), m_images(std::move(images)) {}

void FileListModel::SetItems(std::vector<FileItem> items) {
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

void FileListModel::Clear() {
    SetItems({});
}

void FileListModel::Sort(int sortKey) {
    emit layoutAboutToBeChanged();
    // Sorting positions and moving each item once is cheaper than moving items at each step.
    std::vector<uint32_t> order(m_items.size());
    for (uint32_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [this, sortKey](uint32_t a, uint32_t b) {
        return CompareFileItems(m_items[a], m_items[b], sortKey) < 0;
    });
    std::vector<FileItem> sorted;
    sorted.reserve(m_items.size());
    std::vector<int> newRow(m_items.size());
    for (const uint32_t i : order) {
        newRow[i] = static_cast<int>(sorted.size());
        sorted.push_back(std::move(m_items[i]));
    }
    m_items = std::move(sorted);
    // The selected item stays selected where it moved to.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.append(index.isValid()
                         ? this->index(newRow[static_cast<size_t>(index.row())], index.column())
                         : index);
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void FileListModel::SetMarkedColumn(int column) {
    const int before = m_markedColumn;
    m_markedColumn = column;
    if (before >= 0) {
        emit headerDataChanged(Qt::Horizontal, before, before);
    }
    if (column >= 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
    }
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFileColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return QVariant();
    }
    const FileItem& item = m_items[static_cast<size_t>(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        switch (column) {
            case kFileColumnName:
                return QString::fromStdString(item.caption);
            case kFileColumnSize:
                return QString::fromStdString(item.sizeText);
            default:
                return QString::fromStdString(item.times[column - kFileColumnModified]);
        }
    }
    if (role == Qt::DecorationRole && column == kFileColumnName && item.image >= 0 &&
        item.image < m_images.size()) {
        return m_images[item.image];
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue((column == kFileColumnSize ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    }
    return QVariant();
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kFileColumnCount) {
        return QVariant();
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf8(kCaptions[section]);
    }
    if (role == Qt::DecorationRole && section == m_markedColumn && kImageFolder < m_images.size()) {
        return m_images[kImageFolder];
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue((section == kFileColumnSize ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    }
    return QVariant();
}

}  // namespace pellquin
