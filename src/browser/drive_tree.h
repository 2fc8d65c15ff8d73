#pragma once

#include <QTreeWidget>

#include "browser/drive_node.h"

namespace pellquin {

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
