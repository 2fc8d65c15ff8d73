#pragma once

#include <memory>
#include <string>

namespace pellquin {

// The file manager's right-click entry "Check With Pellquin" on every file and folder, which
// starts the program with the chosen item's full path as its one argument. Abstract so that
// the entries can be written into a test's own registry or data directory.
class ContextMenu {
public:
    virtual ~ContextMenu() = default;

    // Writes the entries so that they start `executable` (a full path), replacing entries of
    // an earlier installation. False when an entry could not be written.
    virtual bool Install(const std::string& executable) = 0;

    // After an Install that returned true: what it could not do all the same (an entry left
    // out, with its cause and the file it concerns), for the user; empty when everything was
    // written.
    virtual std::string Warning() const { return std::string(); }

    // Deletes what Install writes, and nothing else. Entries that are missing or cannot be
    // deleted are passed over.
    virtual void Remove() = 0;
};

// Windows: the "Check With Pellquin" verb keys under HKEY_CLASSES_ROOT. Linux: a KDE service
// menu, a Nemo action, a Caja action and a GNOME Files extension (nautilus-python) or script
// under $XDG_DATA_HOME (default ~/.local/share) and a Thunar custom action in
// $XDG_CONFIG_HOME/Thunar/uca.xml (default ~/.config), all read at each call. The
// Windows keys are the shell's own logic over the registry, so pellquin_shell defines them
// there.
std::unique_ptr<ContextMenu> MakeContextMenu();

}  // namespace pellquin
