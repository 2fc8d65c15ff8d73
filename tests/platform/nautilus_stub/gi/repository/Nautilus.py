"""Nautilus.MenuProvider and Nautilus.MenuItem as nautilus-python 4.0 gives them, recording
what an extension does with them."""


class MenuProvider:
    pass


class MenuItem:
    def __init__(self, name="", label="", tip="", icon=""):
        self.name, self.label, self.tip, self.icon = name, label, tip, icon
        self.handlers = []

    def connect(self, signal, handler, *data):
        self.handlers.append((signal, handler, data))

    def activate(self):
        for signal, handler, data in self.handlers:
            if signal == "activate":
                handler(self, *data)
