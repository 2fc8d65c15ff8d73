#pragma once

#include <memory>
#include <string>

#include "platform/context_menu.h"
#include "prompts/prompts.h"

namespace pellquin {

// "Install Menus" and "Remove Menus": the "Check With Pellquin" entries of the file manager's
// context menu, with the boxes that report how they went.
class ContextMenus {
public:
    // `executable` is the running program's full path, which the entries start; `prompts`
    // must outlive this object.
    ContextMenus(std::unique_ptr<ContextMenu> menu, std::string executable, Prompts& prompts);

    // Reports success, or the one failure text when an entry could not be written.
    void InstallContextMenus();
    // Always reports success: entries that are not there are no failure.
    void RemoveContextMenus();

private:
    std::unique_ptr<ContextMenu> m_menu;
    std::string m_executable;
    Prompts& m_prompts;
};

}  // namespace pellquin
