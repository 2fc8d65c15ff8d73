#include "platform/desktop_entries.h"

namespace pellquin {
namespace {

// Marks the files that installation wrote, so that removal deletes nothing else.
const char kMarker[] = "X-Pellquin-Entry=check-with-pellquin";
const char kScriptMarker[] = "# X-Pellquin-Entry=check-with-pellquin";
const char kThunarId[] = "<unique-id>pellquin-check-with-pellquin</unique-id>";

// A desktop entry's Exec argument: quoted as the Exec key requires (", `, $ and \ escaped
// inside double quotes, % doubled), then escaped again as a string value (\ as \\, line
// breaks as \n).
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
    std::string value;
    for (char c : quoted) {
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
