#pragma once

#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <optional>

#include "browser/core/drive_item.h"

namespace pellquin {

// A node of tvwDrives. It owns its driveitem, freed with it; placeholders have none.
class DriveNode : public QTreeWidgetItem {
public:
    DriveNode(const QString& caption, const QIcon& image, std::optional<driveitem> item);

    const driveitem* Item() const { return m_item ? &*m_item : nullptr; }

private:
    std::optional<driveitem> m_item;
};

// The driveitem of a tree item, or nullptr (placeholders, no item).
const driveitem* ItemOf(const QTreeWidgetItem* node);

// tvwDrives: a tree whose right button selects the node under the pointer (or nothing, over
// empty space) before the pop-up menu opens.
class DriveTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit DriveTree(QWidget* parent);

    // The selected node; nullptr when none is.
    QTreeWidgetItem* SelectedNode() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace pellquin
