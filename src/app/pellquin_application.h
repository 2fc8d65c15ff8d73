#pragma once

#include <QApplication>

#include "prompts/prompts.h"

namespace pellquin {

// The application object. An exception that escapes an event handler ends that handler
// only: its message is shown in the error box and the event loop carries on.
class PellquinApplication : public QApplication {
public:
    // `prompts` must outlive the application object.
    PellquinApplication(int& argc, char** argv, Prompts& prompts);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    Prompts& m_prompts;
};

}  // namespace pellquin
