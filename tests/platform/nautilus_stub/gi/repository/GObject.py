class GObject:
    pass
