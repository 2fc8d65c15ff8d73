#pragma once

#include <memory>
#include <string>

#include "prompts/prompts.h"
#include "app/window_services.h"
#include "fake_context_menu.h"
#include "fake_directory_lister.h"
#include "fake_drive_mapper.h"
#include "fake_drive_source.h"
#include "fake_folder_browser.h"
#include "fake_html_help.h"
#include "fake_service_parts.h"
#include "help/html_help_system.h"
#include "shell/context_menus.h"

namespace pellquin::test {

// A path browser over fakes: no drives, no directories, a mapper without a dialog that maps
// anything, and a folder dialog that is cancelled.
inline BrowserServices FakeBrowserServices() {
    return BrowserServices{
        std::make_unique<FakeDriveSource>(), std::make_unique<FakeDirectoryLister>(),
        std::make_unique<FakeDriveMapper>(), std::make_unique<FakeFolderBrowser>()};
}

// A main window's services from the test's own engine, store, probe, prompts, menu entries
// and help, with a bare About box, fake service-control parts and `browser`.
inline WindowServices MakeWindowServices(TmodPQ& modPQ, SettingsStore& settings, PathProbe& probe,
                                         Prompts& prompts, ContextMenus& contextMenus,
                                         HtmlHelpSystem& help,
                                         BrowserServices browser = FakeBrowserServices()) {
    WindowServices services;
    services.modPQ = &modPQ;
    services.settings = &settings;
    services.pathProbe = &probe;
    services.prompts = &prompts;
    services.contextMenus = &contextMenus;
    services.help = &help;
    services.frmAbout = std::make_unique<QDialog>();
    services.serviceParts = FakeServiceControlParts();
    services.browserServices = std::move(browser);
    return services;
}

// The menu entries and help of a main window under test, each over a fake that records its
// calls. Must outlive the window; `prompts` must outlive this.
class FakeWindowParts {
public:
    explicit FakeWindowParts(Prompts& prompts, const std::string& executable = "/usr/bin/pellquin")
        : menu(new FakeContextMenu),
          viewer(new FakeHtmlHelp),
          contextMenus(std::unique_ptr<ContextMenu>(menu), executable, prompts),
          help(std::unique_ptr<HtmlHelp>(viewer), executable, prompts),
          m_prompts(prompts) {}

    WindowServices Services(TmodPQ& modPQ, SettingsStore& settings, PathProbe& probe,
                            BrowserServices browser = FakeBrowserServices()) {
        return MakeWindowServices(modPQ, settings, probe, m_prompts, contextMenus, help,
                                  std::move(browser));
    }

    FakeContextMenu* menu;  // owned by contextMenus
    FakeHtmlHelp* viewer;   // owned by help
    ContextMenus contextMenus;
    HtmlHelpSystem help;

private:
    Prompts& m_prompts;
};

}  // namespace pellquin::test
