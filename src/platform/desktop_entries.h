#pragma once

#include <optional>
#include <string>

namespace pellquin {

// Texts of the Linux file managers' context-menu entries for "Check With Pellquin", each
// starting `executable` with the chosen file or folder as its one argument. Pure functions, so
// that quoting and merging run in tests without a desktop.

// The caption every file manager shows.
inline constexpr const char kContextMenuCaption[] = "Check With Pellquin";

// A KDE service menu (.desktop) for all local files and folders and those on SMB shares; the
// chosen item comes as %u (a path for a local one, an smb:// URL otherwise).
std::string KdeServiceMenu(const std::string& executable);

// A Nautilus script: starts the program on its first argument, made absolute against the
// folder it runs in.
std::string NautilusScript(const std::string& executable);

// One Thunar custom action (<action> element) for all files and folders.
std::string ThunarAction(const std::string& executable);

// A Nemo action (.nemo_action) for one chosen file or folder; Nemo hands its URL (file:// for
// a local item, smb:// for one on an SMB share, mounted or not) as %U, double-quoted.
std::string NemoAction(const std::string& executable);

// A Caja action (Caja-Actions, FileManager-Actions desktop file, Type=Action) for one chosen
// file or folder: a local item comes as its path (%f), one on an SMB share as its smb:// URL
// (%u), each in a profile of its own.
std::string CajaAction(const std::string& executable);

// A nautilus-python extension that puts "Check With Pellquin" at the top level of GNOME
// Files' menu for one chosen local file or folder (its path) or one on an SMB share (its
// smb:// URL), and starts the program on it without a shell.
std::string NautilusExtension(const std::string& executable);

// Whether an entry file was written by one of the functions above (ThunarAction excepted,
// which is merged into another file).
bool IsOurDesktopEntry(const std::string& fileText);

// uca.xml with our action replaced by `action` (or removed when `action` is empty); every
// other action and all other text stay as they are. `existing` is the file's text, nullopt
// when there is no file. nullopt when the text has no <actions> element to merge into.
std::optional<std::string> MergeThunarActions(const std::optional<std::string>& existing,
                                              const std::string& action);

// `text` as one argument of a POSIX shell command: single-quoted.
std::string ShellQuote(const std::string& text);

}  // namespace pellquin
