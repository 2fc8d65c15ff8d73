#include "shell/context_menus.h"

#include <utility>

namespace pellquin {

ContextMenus::ContextMenus(std::unique_ptr<ContextMenu> menu, std::string executable,
                           Prompts& prompts)
    : m_menu(std::move(menu)), m_executable(std::move(executable)), m_prompts(prompts) {}

void ContextMenus::InstallContextMenus() {
    if (!m_menu->Install(m_executable)) {
        m_prompts.ShowError("Could not add Context Menu. Please Check security rights");
        return;
    }
    const std::string warning = m_menu->Warning();
    if (!warning.empty()) {
        m_prompts.ShowWarning(warning);
    }
    m_prompts.ShowMessage("Explorer Context Menu added successfully");
}

void ContextMenus::RemoveContextMenus() {
    m_menu->Remove();
    m_prompts.ShowMessage("Explorer Context Menu removed successfully");
}

}  // namespace pellquin
