#include "browser/drive_node.h"

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

}  // namespace pellquin
