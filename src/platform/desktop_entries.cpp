#include "platform/desktop_entries.h"

namespace pellquin {
namespace {

// Marks the files that installation wrote, so that removal deletes nothing else.
const char kMarker[] = "X-Pellquin-Entry=check-with-pellquin";
const char kScriptMarker[] = "# X-Pellquin-Entry=check-with-pellquin";
const char kThunarId[] = "<unique-id>pellquin-check-with-pellquin</unique-id>";

// A value as a desktop entry or GLib key file stores a string: \ as \\, line breaks and tabs
// as \n, \t and \r. (No value here starts with a blank, so \s is never needed.)
std::string KeyFileString(const std::string& text) {
    std::string value;
    for (char c : text) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
}

// A desktop entry's Exec argument: quoted as the Exec key requires (", `, $ and \ escaped
// inside double quotes, % doubled), then escaped again as a string value.
std::string DesktopExecArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    quoted += '"';
    return KeyFileString(quoted);
}

// The program as the first word of a command that Nemo and Caja read: a key-file string
// whose tokens (%X) they expand, %% to %, and then split with GLib's shell parser, which
// takes single quotes as POSIX shells do.
std::string GLibCommandWord(const std::string& executable) {
    std::string word;
    for (char c : ShellQuote(executable)) {
        word += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return KeyFileString(word);
}

// `text` as a Python bytes literal: every byte that could end or change the literal (quotes,
// backslashes, line breaks, anything outside ASCII) as \xNN, so that any path survives.
std::string PythonBytesLiteral(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string literal = "b\"";
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || byte == '/' || byte == '.' || byte == '_' ||
            byte == '-' || byte == ' ') {
            literal += c;
        } else {
            literal += "\\x";
            literal += kHex[byte >> 4];
            literal += kHex[byte & 0xf];
        }
    }
    return literal + "\"";
}

std::string XmlEscape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

}  // namespace

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string KdeServiceMenu(const std::string& executable) {
    return std::string(
               "[Desktop Entry]\n"
               "Type=Service\n"
               "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
               "MimeType=all/all;\n"
               // Local items and SMB shares: elsewhere there is no server to ask.
               "X-KDE-Protocols=file,smb\n"
               "Actions=checkWithPellquin;\n") +
           kMarker +
           "\n\n"
           "[Desktop Action checkWithPellquin]\n"
           "Name=" +
           kContextMenuCaption +
           "\n"
           "Icon=system-search\n"
           "Exec=" +
           // %u, not %f: for an smb:// folder %f is a downloaded temporary copy, and the
           // check would ask about the wrong file. A local item still comes as its path.
           DesktopExecArgument(executable) + " %u\n";
}

std::string NautilusScript(const std::string& executable) {
    return std::string("#!/bin/sh\n") + kScriptMarker +
           "\n"
           "# Starts Pellquin on the first selected file or folder.\n"
           "[ $# -ge 1 ] || exit 0\n"
           "case $1 in\n"
           "/*) target=$1 ;;\n"
           "*) target=$PWD/$1 ;;\n"
           "esac\n"
           "exec " +
           ShellQuote(executable) + " \"$target\"\n";
}

std::string ThunarAction(const std::string& executable) {
    // Thunar puts the selected path in place of %f, quoted, reads %% as %, and parses the
    // command as a shell would.
    std::string command;
    for (char c : ShellQuote(executable)) {
        command += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return std::string(
               "<action>\n"
               "\t<icon>system-search</icon>\n"
               "\t<name>") +
           kContextMenuCaption +
           "</name>\n"
           "\t" +
           kThunarId +
           "\n"
           "\t<command>" +
           XmlEscape(command) +
           " %f</command>\n"
           "\t<description>Who holds this file or folder open on its server</description>\n"
           "\t<patterns>*</patterns>\n"
           "\t<directories/>\n"
           "\t<audio-files/>\n"
           "\t<image-files/>\n"
           "\t<other-files/>\n"
           "\t<text-files/>\n"
           "\t<video-files/>\n"
           "</action>\n";
}

std::string NemoAction(const std::string& executable) {
    return std::string(
               "[Nemo Action]\n"
               "Name=") +
           kContextMenuCaption +
           "\n"
           "Comment=Who holds this file or folder open on its server\n"
           "Icon-Name=system-search\n"
           // %U, not %F: an item on an SMB share that GVfs has not mounted has no path, and
           // %F would hand an empty argument. The program reads the file:// URL of a local
           // item as its path and an smb:// URL as its UNC name. Nemo puts the URL in double
           // quotes as it is: GIO escapes the " and \ that GLib's shell parser would read, and
           // Nemo scans on after what it inserted, so the URL's escapes are not tokens.
           "Exec=" +
           GLibCommandWord(executable) +
           " %U\n"
           "Quote=double\n"
           "Selection=s\n"
           "Extensions=any;\n" +
           kMarker + "\n";
}

std::string CajaAction(const std::string& executable) {
    // Caja-Actions runs the first profile whose conditions hold. It replaces %f and %u by the
    // item shell-quoted (g_shell_quote), %% by %, and splits the command with GLib's shell
    // parser.
    const std::string command = GLibCommandWord(executable);
    return std::string(
               "[Desktop Entry]\n"
               "Type=Action\n"
               "Name=") +
           kContextMenuCaption +
           "\n"
           "Tooltip=Who holds this file or folder open on its server\n"
           "Icon=system-search\n"
           "Profiles=local;smb;\n" +
           kMarker +
           "\n\n"
           "[X-Action-Profile local]\n"
           "Name=A file or folder on this computer\n"
           "Exec=" +
           command +
           " %f\n"
           "Schemes=file;\n"
           "MimeTypes=all/all;\n"
           "SelectionCount==1\n"
           "\n"
           // Without a GVfs mount an SMB item has no local path; its URL names it exactly.
           "[X-Action-Profile smb]\n"
           "Name=A file or folder on an SMB share\n"
           "Exec=" +
           command +
           " %u\n"
           "Schemes=smb;\n"
           "MimeTypes=all/all;\n"
           "SelectionCount==1\n";
}

std::string NautilusExtension(const std::string& executable) {
    return std::string(kScriptMarker) +
           "\n"
           "# \"Check With Pellquin\" at the top level of GNOME Files' menu (nautilus-python).\n"
           "# Pellquin's \"Install Menus\" wrote this file and \"Remove Menus\" deletes it.\n"
           "import os\n"
           "import subprocess\n"
           "\n"
           "from gi.repository import GObject, Nautilus\n"
           "\n"
           "PROGRAM = os.fsdecode(" +
           PythonBytesLiteral(executable) +
           ")\n"
           "\n"
           "\n"
           "def _target(item):\n"
           "    # A local item as its path, one on an SMB share as its smb:// URL, which\n"
           "    # Pellquin reads as a UNC name; elsewhere there is no server to ask.\n"
           "    scheme = item.get_uri_scheme()\n"
           "    if scheme == \"file\":\n"
           "        return item.get_location().get_path()\n"
           "    if scheme == \"smb\":\n"
           "        return item.get_uri()\n"
           "    return None\n"
           "\n"
           "\n"
           "class PellquinMenuProvider(GObject.GObject, Nautilus.MenuProvider):\n"
           "    # Files 43 and later call get_file_items(files), earlier ones\n"
           "    # get_file_items(window, files).\n"
           "    def get_file_items(self, *args):\n"
           "        files = args[-1]\n"
           "        if len(files) != 1:\n"
           "            return []\n"
           "        target = _target(files[0])\n"
           "        if not target:\n"
           "            return []\n"
           "        item = Nautilus.MenuItem(\n"
           "            name=\"Pellquin::CheckWithPellquin\",\n"
           "            label=\"" +
           kContextMenuCaption +
           "\",\n"
           "            tip=\"Who holds this file or folder open on its server\",\n"
           "        )\n"
           "        item.connect(\"activate\", self._activate, target)\n"
           "        return [item]\n"
           "\n"
           "    def _activate(self, menu, target):\n"
           "        # No shell, so the path is one argument whatever it holds; a session of\n"
           "        # its own, so that closing Files leaves Pellquin open.\n"
           "        subprocess.Popen([PROGRAM, target], stdin=subprocess.DEVNULL,\n"
           "                         start_new_session=True)\n";
}

bool IsOurDesktopEntry(const std::string& fileText) {
    return fileText.find(kMarker) != std::string::npos;
}

std::optional<std::string> MergeThunarActions(const std::optional<std::string>& existing,
                                              const std::string& action) {
    const bool blank = !existing || existing->find_first_not_of(" \t\r\n") == std::string::npos;
    std::string text = blank ? std::string(
                                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<actions>\n</actions>\n")
                             : *existing;
    // Drop every action of ours, with the line break that ends it.
    for (size_t id = text.find(kThunarId); id != std::string::npos; id = text.find(kThunarId)) {
        const size_t begin = text.rfind("<action>", id);
        size_t end = text.find("</action>", id);
        if (begin == std::string::npos || end == std::string::npos) {
            return std::nullopt;
        }
        end += std::string("</action>").size();
        if (end < text.size() && text[end] == '\n') {
            ++end;
        }
        text.erase(begin, end - begin);
    }
    if (action.empty()) {
        return text;
    }
    const size_t empty = text.find("<actions/>");
    if (empty != std::string::npos) {
        text.replace(empty, std::string("<actions/>").size(), "<actions>\n</actions>");
    }
    const size_t close = text.rfind("</actions>");
    if (close == std::string::npos || text.find("<actions") == std::string::npos) {
        return std::nullopt;
    }
    text.insert(close, action);
    return text;
}

}  // namespace pellquin
