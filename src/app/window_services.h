#pragma once

#include <QDialog>
#include <memory>

#include "prompts/prompts.h"
#include "browser/browser_services.h"
#include "platform/path_probe.h"
#include "query/mod_pq.h"
#include "service/control/service_control_parts.h"
#include "settings/settings_store.h"

namespace pellquin {

class ContextMenus;
class HtmlHelpSystem;

// Everything the main window works with, made by the program's entry (the real adapters) or
// by a test (fakes). Every member must be set; the window refuses to be built without one.
// The pointers are borrowed and must outlive the window; the rest is owned by it.
struct WindowServices {
    TmodPQ* modPQ = nullptr;
    SettingsStore* settings = nullptr;
    PathProbe* pathProbe = nullptr;
    Prompts* prompts = nullptr;
    ContextMenus* contextMenus = nullptr;  // the file manager's menu entries
    HtmlHelpSystem* help = nullptr;
    std::unique_ptr<QDialog> frmAbout;  // becomes the window's child, shown by Help > About
    ServiceControlParts serviceParts;   // for the Service Control page
    BrowserServices browserServices;    // for the path browser
};

}  // namespace pellquin
