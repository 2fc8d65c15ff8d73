#pragma once

#include <QIcon>
#include <QList>

namespace pellquin {

// The six 16 by 16 pictures of the drive tree and the file list, in BrowserImage order:
// network drive, fixed disk, closed folder, computer, computer with globe, document.
QList<QIcon> MakeBrowserImages();

}  // namespace pellquin
