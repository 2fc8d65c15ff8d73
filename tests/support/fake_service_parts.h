#pragma once

#include <memory>

#include "fake_service_files.h"
#include "fake_service_manager.h"
#include "service/control/service_control_parts.h"

namespace pellquin::test {

// Service-control parts for a main window under test: a scripted manager on which nothing is
// installed, a Windows-like file system and a viewer that starts nothing.
inline ServiceControlParts FakeServiceControlParts() {
    return ServiceControlParts{std::make_unique<FakeServiceManager>(),
                               std::make_unique<FakeServiceFiles>(),
                               std::make_unique<FakeLogViewer>()};
}

}  // namespace pellquin::test
