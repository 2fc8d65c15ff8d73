// The Explorer entries on Windows: the classes-root keys through the Win32 registry adapter.

#include "platform/context_menu.h"
#include "platform/registry.h"
#include "shell/registry_context_menu.h"

namespace pellquin {

std::unique_ptr<ContextMenu> MakeContextMenu() {
    return std::make_unique<RegistryContextMenu>(MakeRegistry());
}

}  // namespace pellquin
