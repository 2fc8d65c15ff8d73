// Writes screenshots of every window the program draws itself (the main window's pages, the
// About box, the proxy dialog, the status pop-up, the add-favourite and map-drive dialogs and
// the welcome box), rendered offscreen, into the directory named by the first argument, with
// the suffix given as the second (the scale is the environment's QT_SCALE_FACTOR). The windows
// are the text-fit test's (tests/app/window_gallery). Not a test: the pictures are for reading.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <exception>

#include "window_gallery.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_screenshots DIRECTORY SUFFIX\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString suffix = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(dir);

    bool ok = true;
    try {
        pellquin::test::WindowGallery gallery;
        gallery.ForEach([&](const QString& name, QWidget& window) {
            const QString path = dir + "/" + name + "-" + suffix + ".png";
            const bool saved = window.grab().save(path);
            std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
            ok = saved && ok;
        });
    } catch (const std::exception& error) {
        std::fprintf(stderr, "window_screenshots: %s\n", error.what());
        return 1;
    }
    return ok ? 0 : 1;
}
