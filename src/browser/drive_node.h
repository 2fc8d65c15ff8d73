#pragma once

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

}  // namespace pellquin
