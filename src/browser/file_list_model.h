#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <vector>

#include "browser/core/file_item.h"

namespace pellquin {

// The rows of lvwFiles. Texts and order come from the browser core; this maps them to
// columns, images and the header marker.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    FileListModel(QList<QIcon> images, QObject* parent);

    void SetItems(std::vector<FileItem> items);
    void Clear();
    const std::vector<FileItem>& Items() const { return m_items; }

    // Orders the rows by CompareFileItems with `sortKey` (equal rows keep their order).
    void Sort(int sortKey);
    // The column whose header shows the marker image; -1 for none.
    void SetMarkedColumn(int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<QIcon> m_images;
    std::vector<FileItem> m_items;
    int m_markedColumn = -1;
};

}  // namespace pellquin
