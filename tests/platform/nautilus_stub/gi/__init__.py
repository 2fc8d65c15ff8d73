"""A stand-in for PyGObject with just what a GNOME Files menu extension uses (see
nautilus_extension_harness.py); nothing of GTK or Files is loaded."""


def require_version(namespace, version):
    pass
