"""Loads a GNOME Files extension as nautilus-python does and chooses its menu item.

    nautilus_extension_harness.py EXTENSION API URI [URI ...]

Run with nautilus_stub/ first on PYTHONPATH. API is 4 (Files 43 and later:
get_file_items(files)) or 3 (get_file_items(window, files)). Prints one line per menu item,
"item NAME LABEL", then activates each and prints "launched ARGV" for every program it started,
after that program has ended.
"""

import importlib.util
import subprocess
import sys
from urllib.parse import unquote, urlsplit

from gi.repository import Nautilus


class Location:
    def __init__(self, uri):
        self.uri = uri

    def get_path(self):
        return unquote(urlsplit(self.uri).path) if self.uri.startswith("file://") else None


class FileInfo:
    """Nautilus.FileInfo for one URI."""

    def __init__(self, uri):
        self.uri = uri

    def get_uri(self):
        return self.uri

    def get_uri_scheme(self):
        return self.uri.split(":", 1)[0]

    def get_location(self):
        return Location(self.uri)

    def get_name(self):
        return unquote(self.uri.rstrip("/").rsplit("/", 1)[-1])


launched = []


class RecordingPopen(subprocess.Popen):
    def __init__(self, args, *rest, **options):
        super().__init__(args, *rest, **options)
        launched.append(self)


def main():
    extension, api, uris = sys.argv[1], sys.argv[2], sys.argv[3:]
    subprocess.Popen = RecordingPopen
    found = importlib.util.spec_from_file_location("extension", extension)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    providers = [
        value()
        for value in vars(module).values()
        if isinstance(value, type) and issubclass(value, Nautilus.MenuProvider)
        and value is not Nautilus.MenuProvider
    ]
    files = [FileInfo(uri) for uri in uris]
    for provider in providers:
        args = (files,) if api == "4" else (object(), files)
        for item in provider.get_file_items(*args):
            print("item", item.name, item.label)
            item.activate()
    for process in launched:
        process.wait()
        print("launched", repr(process.args))


main()
