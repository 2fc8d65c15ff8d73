// pellquin: the desktop program. Builds the real adapters, the query module and the main
// window, and runs the event loop until the window closes.
#include <exception>
#include <memory>

#include "app/frm_pellquin.h"
#include "app/message_box_prompts.h"
#include "app/pellquin_application.h"
#include "platform/adapters.h"
#include "platform/directory_lister.h"
#include "platform/drive_mapper.h"
#include "platform/drive_source.h"
#include "platform/folder_browser.h"
#include "platform/path_probe.h"
#include "query/mod_pq.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "settings/settings_store.h"

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
        BrowserServices browserServices{MakeDriveSource(), MakeDirectoryLister(std::string()),
                                        MakeDriveMapper(std::string()), MakeSystemFolderBrowser()};
        auto frmPellquin = std::make_unique<TfrmPellquin>(*modPQ, *settings, *pathProbe, prompts,
                                                          nullptr, std::move(browserServices));
        prompts.SetOwner(frmPellquin.get());
        frmPellquin->show();
        PellquinApplication::exec();
    } catch (const std::exception& e) {
        // Whatever escapes start-up or the loop is shown once; the program then ends normally.
        prompts.ShowError(e.what());
    }
    return 0;
}
