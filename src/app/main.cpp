// pellquin: the desktop program. Builds the real adapters, the query module and the main
// window, and runs the event loop until the window closes.
#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/frm_pellquin.h"
#include "app/message_box_prompts.h"
#include "app/net_files_start.h"
#include "app/pellquin_application.h"
#include "app/window_services.h"
#include "help/help_file_location.h"
#include "help/html_help_system.h"
#include "platform/context_menu.h"
#include "platform/directory_lister.h"
#include "platform/drive_mapper.h"
#include "platform/drive_source.h"
#include "platform/folder_browser.h"
#include "platform/html_help.h"
#include "platform/http_client.h"
#include "platform/log_viewer.h"
#include "platform/net_file_api.h"
#include "platform/path_probe.h"
#include "platform/registry.h"
#include "platform/service_files.h"
#include "platform/service_manager.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "platform/url_launcher.h"
#include "platform/wire_text.h"
#include "query/mod_pq.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "query/terminal_text.h"
#include "service/log_text_window.h"
#include "settings/settings_store.h"
#include "shell/context_menus.h"
#include "update/core/application_info.h"
#include "update/core/update_checker.h"
#include "update/frm_about.h"

int main(int argc, char** argv) {
    using namespace pellquin;
    // --help and --version answer before any window system is needed.
    const auto answered = AnswerInformationOptions(
        std::vector<std::string>(argv + 1, argv + argc),
        [&] {
            QCoreApplication core(argc, argv);
            const std::string executable =
                QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdString();
            return HelpFileFor(executable, MakeHtmlHelp()->FileName());
        },
        std::cout);
    if (answered) {
        return *answered;
    }
    MessageBoxPrompts prompts;
    PellquinApplication application(argc, argv, prompts);
    // The About box's own boxes belong to it; it gets its owner once it exists.
    MessageBoxPrompts aboutPrompts;
    try {
        auto netFiles = StartNetFiles(prompts);
        if (!netFiles) {
            return 1;
        }
        auto registry = MakeRegistry();
        auto settings = std::make_unique<SettingsStore>(*registry);
        // The records' code page as pellquin-cli takes it; a name this system does not know
        // leaves the default, and says so where the program was started from.
        std::string codePageError;
        auto wireText = MakeWireText(settings->LoadServiceCodePage(), &codePageError);
        if (!wireText) {
            // The error quotes the stored value, which is the settings file's text.
            std::cerr << "pellquin: the ServiceCodePage setting: "
                      << NeutralisedText(codePageError, TextUse::TableCell) << "\n";
        }
        auto serviceClient =
            wireText ? std::make_unique<ServiceClient>(
                           MakeSystemInfo(), std::make_unique<TcpTransport>(), std::move(wireText))
                     : std::make_unique<ServiceClient>(MakeSystemInfo(),
                                                       std::make_unique<TcpTransport>());
        auto modPQ = std::make_unique<TmodPQ>(std::move(netFiles), MakeUniversalNames(),
                                              MakeSystemInfo(), std::move(serviceClient));
        auto pathProbe = MakePathProbe(std::string());
        // Test hook: PELLQUIN_VERSIONS_URL points the update check at another versions file.
        const char* versionsUrl = std::getenv("PELLQUIN_VERSIONS_URL");
        auto frmAbout = std::make_unique<TfrmAbout>(
            std::make_unique<UpdateChecker>(MakeHttpClient(),
                                            versionsUrl ? versionsUrl : kVersionsFileUrl),
            MakeUrlLauncher(), *registry, aboutPrompts);
        aboutPrompts.SetOwner(frmAbout.get());
        WindowServices services;
        services.modPQ = modPQ.get();
        services.settings = settings.get();
        services.pathProbe = pathProbe.get();
        services.prompts = &prompts;
        services.frmAbout = std::move(frmAbout);
        services.serviceParts =
            ServiceControlParts{MakeServiceManager(std::string()), MakeServiceFiles(std::string()),
                                MakeLogViewer(ShowLogTextWindow)};
        services.browserServices =
            BrowserServices{MakeDriveSource(), MakeDirectoryLister(std::string()),
                            MakeDriveMapper(std::string()), MakeSystemFolderBrowser()};
        // The executable's full path as the system reports it, whatever the working directory.
        const std::string executable =
            QDir::toNativeSeparators(PellquinApplication::applicationFilePath()).toStdString();
        auto contextMenus = std::make_unique<ContextMenus>(MakeContextMenu(), executable, prompts);
        auto help = std::make_unique<HtmlHelpSystem>(MakeHtmlHelp(), executable, prompts);
        services.contextMenus = contextMenus.get();
        services.help = help.get();
        std::vector<std::string> arguments;
        const QStringList commandLine = PellquinApplication::arguments();
        for (int i = 1; i < commandLine.size(); ++i) {
            arguments.push_back(commandLine[i].toStdString());
        }
        auto frmPellquin = std::make_unique<TfrmPellquin>(std::move(services));
        prompts.SetOwner(frmPellquin.get());
        frmPellquin->Start(std::move(arguments));
        PellquinApplication::exec();
    } catch (const std::exception& e) {
        // Whatever escapes start-up or the loop is shown once; the program then ends normally.
        prompts.ShowError(e.what());
    }
    return 0;
}
