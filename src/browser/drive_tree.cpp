#include "browser/drive_tree.h"

#include <QMouseEvent>

namespace pellquin {

DriveNode::DriveNode(const QString& caption, const QIcon& image, std::optional<driveitem> item)
    : QTreeWidgetItem(QStringList{caption}), m_item(std::move(item)) {
    // The same image whether or not the node is selected.
    setIcon(0, image);
}

const driveitem* ItemOf(const QTreeWidgetItem* node) {
    const auto* driveNode = dynamic_cast<const DriveNode*>(node);
    return driveNode != nullptr ? driveNode->Item() : nullptr;
}

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
