#include "app/pellquin_application.h"

#include <exception>

#include "settings/constants.h"

namespace pellquin {

PellquinApplication::PellquinApplication(int& argc, char** argv, Prompts& prompts)
    : QApplication(argc, argv), m_prompts(prompts) {
    setApplicationName(kProductName);
}

bool PellquinApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        m_prompts.ShowError(e.what());
    }
    return false;
}

}  // namespace pellquin
