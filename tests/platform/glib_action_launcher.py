"""Runs a Nemo action or a Caja action on one chosen item the way that file manager does.

    glib_action_launcher.py nemo|caja ENTRY_FILE ITEM

ITEM is a local path or a URL (smb://...). The entry is read with GLib's key-file parser,
its tokens are expanded by the file manager's rules, the command is split by GLib's shell
parser (g_shell_parse_argv) and the program is started without a shell. Exit status: the
program's, or 2 when the entry would not show or not run for ITEM. The argument vector goes
to standard error.
"""

import subprocess
import sys

from gi.repository import GLib


def fail(why):
    print(why, file=sys.stderr)
    sys.exit(2)


def load(path):
    key_file = GLib.KeyFile()
    key_file.load_from_file(path, GLib.KeyFileFlags.NONE)
    return key_file


def nemo_command(key_file, item):
    group = "Nemo Action"
    if key_file.get_string(group, "Selection").lower() not in ("s", "single"):
        fail("not an action for one chosen item")
    if key_file.get_string_list(group, "Extensions") != ["any"]:
        fail("not an action for every file and folder")
    try:
        quote = key_file.get_string(group, "Quote")
    except GLib.Error:
        quote = ""
    if item.startswith("/"):
        path, uri = item, GLib.filename_to_uri(item, None)
    else:
        path, uri = "", item  # no GVfs mount: Nemo has no path for it
    exec_ = key_file.get_string(group, "Exec")
    # Nemo (libnemo-private/nemo-action.c): each token in turn, scanning on after what it
    # inserted; a "%" that starts no token ends the expansion.
    tokens = {"F": path, "U": uri}
    out, at = "", 0
    while True:
        found = exec_.find("%", at)
        if found < 0 or found + 1 >= len(exec_):
            break
        code = exec_[found + 1]
        if code == "%":
            insertion = "%"
        elif code in tokens:
            value = tokens[code]
            if quote == "double":
                value = '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
            elif quote == "single":
                value = "'" + value.replace("'", "'\\''") + "'"
            else:
                fail("unquoted file names: blanks would split them")
            insertion = value
        elif code in "PRfpDeXN":
            fail("token %" + code + " gives something other than the chosen item")
        else:
            break
        out += exec_[at:found] + insertion
        at = found + 2
    return out + exec_[at:]


def caja_command(key_file, item):
    scheme = "file" if item.startswith("/") else item.split(":", 1)[0]
    path = item if scheme == "file" else GLib.Uri.parse(item, GLib.UriFlags.NONE).get_path()
    uri = GLib.filename_to_uri(item, None) if scheme == "file" else item
    if key_file.get_string("Desktop Entry", "Type") != "Action":
        fail("not an action")
    # Caja-Actions runs the first profile whose conditions hold.
    for profile in key_file.get_string_list("Desktop Entry", "Profiles"):
        group = "X-Action-Profile " + profile
        if scheme not in key_file.get_string_list(group, "Schemes"):
            continue
        if key_file.get_string_list(group, "MimeTypes") != ["all/all"]:
            fail("not a profile for every file and folder")
        if key_file.get_string(group, "SelectionCount").replace(" ", "") != "=1":
            fail("not a profile for one chosen item")
        exec_ = key_file.get_string(group, "Exec").strip()
        # src/core/na-tokens.c: every "%" and the character after it; %f and %u as the
        # item shell-quoted, %% as %, others that name no item as nothing.
        values = {"f": GLib.shell_quote(path), "u": GLib.shell_quote(uri), "%": "%"}
        out, at = "", 0
        while True:
            found = exec_.find("%", at)
            if found < 0:
                break
            code = exec_[found + 1 : found + 2]
            if code not in values and code in "bBdDFUwWxXhnps":
                fail("token %" + code + " gives something other than the chosen item")
            out += exec_[at:found] + values.get(code, "")
            at = found + 2
        return out + exec_[at:]
    fail("no profile for scheme " + scheme)


def main():
    kind, entry, item = sys.argv[1:4]
    key_file = load(entry)
    command = nemo_command(key_file, item) if kind == "nemo" else caja_command(key_file, item)
    ok, argv = GLib.shell_parse_argv(command)
    print(repr(argv), file=sys.stderr)
    sys.exit(subprocess.run(argv).returncode)


main()
