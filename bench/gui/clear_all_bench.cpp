// Times "Clear All" over 5,000 rows through the real window, its status pop-up and the query
// engine, against an in-memory server whose every close takes a fixed time: what the run takes
// beyond the server's own time is the window's and the engine's.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/frm_pellquin.h"
#include "app/frm_status.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_window_parts.h"
#include "silent_prompts.h"

namespace {

using namespace pellquin;
using test::SilentPrompts;

// A server whose closes each take `closeMicroseconds`.
class TimedServer : public test::FakeNetFileApi {
public:
    unsigned long closeMicroseconds = 0;
    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override {
        if (closeMicroseconds > 0) {
            QThread::usleep(closeMicroseconds);
        }
        return FakeNetFileApi::FileClose(server, id);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    constexpr uint32_t kRows = 5000;

    auto net = std::make_unique<TimedServer>();
    TimedServer* server = net.get();
    server->shareFolders["data"] = "D:\\Data";
    std::vector<OpenFileEntry> entries;
    for (uint32_t i = 0; i < kRows; ++i) {
        entries.push_back({1000 + i, 1, 0, "D:\\Data\\dir\\file" + std::to_string(i) + ".xls",
                           "user" + std::to_string(i % 97)});
    }
    TmodPQ modPQ(std::move(net), std::make_unique<test::FakeUniversalNames>(),
                 std::make_unique<test::FakeSystemInfo>(),
                 std::make_unique<test::FakeServiceExchange>());
    test::FakeRegistry registry;
    SettingsStore settings(registry);
    test::FakePathProbe probe;
    probe.directories = {"\\\\srv\\data"};
    SilentPrompts prompts;
    test::FakeWindowParts parts(prompts);
    TfrmPellquin window(parts.Services(modPQ, settings, probe));
    window.show();
    QApplication::processEvents();
    window.findChild<QComboBox*>("cboFileName")->setEditText("\\\\srv\\data");
    window.findChild<QRadioButton*>("optDirectOnly")->setChecked(true);
    window.findChild<QCheckBox*>("chkPromptClearConnection")->setChecked(false);
    auto* clearAll = window.findChild<QPushButton*>("cmdClearAll");

    std::printf("Clear All, %u rows (%s)\n", kRows, qPrintable(QApplication::platformName()));
    for (unsigned long closeUs : {0ul, 1000ul}) {
        server->closeMicroseconds = closeUs;
        server->rounds.push_back({NET_OK, entries});
        window.CheckPath();
        server->rounds.push_back({NET_OK, {}});  // the refresh that ends the run
        server->closeCalls.clear();
        const auto start = std::chrono::steady_clock::now();
        clearAll->click();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const double serverMs = closeUs * kRows / 1000.0;
        std::printf(
            "  server close %4lu us: %8.1f ms in all, %6.1f ms of it the server's, "
            "%6.3f ms per row beyond it (%zu closes, pop-up at \"%s\")\n",
            closeUs, ms, serverMs, (ms - serverMs) / kRows, server->closeCalls.size(),
            qPrintable(window.frmStatus().Step()));
    }
    return 0;
}
