#pragma once

#include <memory>

#include "platform/log_viewer.h"
#include "platform/service_files.h"
#include "platform/service_manager.h"

namespace pellquin {

// The platform parts the Service Control tab owns, made by the program's entry (the real
// adapters) or by a test (fakes).
struct ServiceControlParts {
    std::unique_ptr<ServiceManager> manager;
    std::unique_ptr<ServiceFiles> files;
    std::unique_ptr<LogViewer> viewer;
};

}  // namespace pellquin
