// pellquin: the desktop program. Builds the real adapters, the query module and the main
// window, and runs the event loop until the window closes.
#include <QDir>
#include <QStringList>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/frm_pellquin.h"
#include "app/message_box_prompts.h"
#include "app/pellquin_application.h"
#include "help/html_help_system.h"
#include "platform/adapters.h"
#include "platform/context_menu.h"
#include "platform/html_help.h"
#include "platform/path_probe.h"
#include "query/mod_pq.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "settings/settings_store.h"
#include "shell/context_menus.h"

int main(int argc, char** argv) {
    using namespace pellquin;
    MessageBoxPrompts prompts;
    PellquinApplication application(argc, argv, prompts);
    try {
        std::string error;
        auto netFiles = MakeNetFileApi(NetCredentials{}, &error);
        if (!netFiles) {
            prompts.ShowError(error);
            return 1;
        }
        auto modPQ = std::make_unique<TmodPQ>(
            std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
            std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>()));
        auto registry = MakeRegistry();
        auto settings = std::make_unique<SettingsStore>(*registry);
        auto pathProbe = MakePathProbe(std::string());
        // The executable's full path as the system reports it, whatever the working directory.
        const std::string executable =
            QDir::toNativeSeparators(PellquinApplication::applicationFilePath()).toStdString();
        auto contextMenus = std::make_unique<ContextMenus>(MakeContextMenu(), executable, prompts);
        auto help = std::make_unique<HtmlHelpSystem>(MakeHtmlHelp(), executable, prompts);
        std::vector<std::string> arguments;
        const QStringList commandLine = PellquinApplication::arguments();
        for (int i = 1; i < commandLine.size(); ++i) {
            arguments.push_back(commandLine[i].toStdString());
        }
        auto frmPellquin = std::make_unique<TfrmPellquin>(*modPQ, *settings, *pathProbe, prompts,
                                                          *contextMenus, *help, arguments);
        prompts.SetOwner(frmPellquin.get());
        frmPellquin->show();
        PellquinApplication::exec();
    } catch (const std::exception& e) {
        // Whatever escapes start-up or the loop is shown once; the program then ends normally.
        prompts.ShowError(e.what());
    }
    return 0;
}
