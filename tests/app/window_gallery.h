#pragma once

#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace pellquin::test {

// Every window the program draws itself, built over fakes and filled with typical content:
// the main window's four pages, the About box, the proxy dialog, the status pop-up, the
// add-favourite and map-drive dialogs and the welcome box. The system's file dialogs (Export,
// the folder picker) are not ours and are left out. Shared by the screenshots and the test
// that no caption is cut, so both see the same windows.
class WindowGallery {
public:
    WindowGallery();
    ~WindowGallery();

    // Shows each window in turn, laid out and painted, and calls `visit` with its name
    // ("main-path-file", "about", ...) while it is on screen; modal boxes are visited while
    // they run and are then dismissed.
    void ForEach(const std::function<void(const QString& name, QWidget& window)>& visit);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace pellquin::test
