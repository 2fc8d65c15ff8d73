#pragma once

#include <memory>
#include <string>

#include "platform/context_menu.h"

namespace pellquin {

// The Linux file managers' entries (see MakeContextMenu), with `systemRoot` standing for "/"
// where the menu looks for installed file-manager extensions (nautilus-python), so that a test
// can say what is installed. MakeContextMenu uses "/".
std::unique_ptr<ContextMenu> MakeDesktopContextMenu(std::string systemRoot);

}  // namespace pellquin
