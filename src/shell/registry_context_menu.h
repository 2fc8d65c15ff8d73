#pragma once

#include <memory>
#include <string>

#include "platform/context_menu.h"
#include "platform/registry.h"

namespace pellquin {

// The Explorer entries as registry keys under HKEY_CLASSES_ROOT:
//   *\Shell\Check With Pellquin\command       (every file)
//   folder\Shell\Check With Pellquin\command  (every folder)
// each with the default value `executable "%1"`. Portable, so that it runs over the Windows
// registry in the program and over an in-memory registry in tests.
class RegistryContextMenu : public ContextMenu {
public:
    explicit RegistryContextMenu(std::unique_ptr<Registry> registry);

    // Stops at the first key that cannot be created or written: the folder key is not tried
    // after the file key failed, and a file key written before a failure stays.
    bool Install(const std::string& executable) override;
    // Deletes "command" and then the verb key, files first, then folders; never recursive,
    // so a verb key that holds anything else stays.
    void Remove() override;

private:
    std::unique_ptr<Registry> m_registry;
};

// The command line Explorer runs: the executable unquoted, a blank, then "%1" in quotes.
std::string ExplorerCommandLine(const std::string& executable);

}  // namespace pellquin
