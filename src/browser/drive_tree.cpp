#include "browser/drive_tree.h"

#include <QMouseEvent>

namespace pellquin {

DriveTree::DriveTree(QWidget* parent) : QTreeWidget(parent) {}

QTreeWidgetItem* DriveTree::SelectedNode() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void DriveTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    QTreeWidgetItem* node = itemAt(event->position().toPoint());
    if (node != nullptr) {
        setCurrentItem(node);
        node->setSelected(true);
    } else {
        clearSelection();
        setCurrentItem(nullptr);
    }
}

}  // namespace pellquin
