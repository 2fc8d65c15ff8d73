#include "shell/registry_context_menu.h"

#include <utility>

namespace pellquin {
namespace {

const char* const kShellKeys[] = {"*\\Shell", "folder\\Shell"};
const char kVerb[] = "Check With Pellquin";

}  // namespace

std::string ExplorerCommandLine(const std::string& executable) {
    return executable + " \"%1\"";
}

RegistryContextMenu::RegistryContextMenu(std::unique_ptr<Registry> registry)
    : m_registry(std::move(registry)) {}

bool RegistryContextMenu::Install(const std::string& executable) {
    const std::string command = ExplorerCommandLine(executable);
    for (const char* shell : kShellKeys) {
        RegistryKey key(*m_registry);
        const std::string path = std::string(shell) + "\\" + kVerb + "\\command";
        if (key.Create(RegistryRoot::ClassesRoot, path, kKeyWrite) != kRegSuccess ||
            key.SetValue("", kRegSz, command) != kRegSuccess) {
            return false;
        }
    }
    return true;
}

void RegistryContextMenu::Remove() {
    for (const char* shell : kShellKeys) {
        RegistryKey verb(*m_registry);
        if (verb.Open(RegistryRoot::ClassesRoot, std::string(shell) + "\\" + kVerb, kKeyWrite) ==
            kRegSuccess) {
            verb.DeleteKey("command");
        }
        verb.Close();
        RegistryKey shellKey(*m_registry);
        if (shellKey.Open(RegistryRoot::ClassesRoot, shell, kKeyWrite) == kRegSuccess) {
            shellKey.DeleteKey(kVerb);
        }
    }
}

}  // namespace pellquin
