// Times a check that fills the results list with 100,000 rows, and header-click sorts of it,
// through the real window against the in-memory engine fakes.
#include <QApplication>
#include <QComboBox>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/frm_pellquin.h"
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

template <typename F>
double Milliseconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    QApplication::processEvents();  // lets the view lay out and paint what changed
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    constexpr uint32_t kRows = 100000;

    auto net = std::make_unique<test::FakeNetFileApi>();
    test::FakeNetFileApi* server = net.get();
    server->shareFolders["data"] = "D:\\Data";
    std::vector<OpenFileEntry> entries;
    entries.reserve(kRows);
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < kRows; ++i) {
        seed = seed * 1103515245u + 12345u;
        entries.push_back(
            {seed, i % 8, i % 5,
             "D:\\Data\\dir" + std::to_string(seed % 997) + "\\file" + std::to_string(i) + ".xls",
             "user" + std::to_string(seed % 311)});
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
    auto* list = window.findChild<QTreeView*>("lvwItems");

    std::printf("results list, %u rows (offscreen)\n", kRows);
    for (int run = 1; run <= 3; ++run) {
        server->rounds.push_back({NET_OK, entries});
        const double fill = Milliseconds([&] { window.CheckPath(); });
        std::printf("  check and fill, run %d: %8.1f ms (%d rows shown)\n", run, fill,
                    list->model()->rowCount());
    }
    const struct {
        int column;
        const char* what;
    } clicks[] = {
        {0, "ID ascending (numeric)"},      {0, "ID descending (same column again)"},
        {1, "File Name descending (text)"}, {1, "File Name ascending"},
        {3, "# Locks ascending (numeric)"}, {2, "User Name ascending (text)"},
    };
    for (const auto& click : clicks) {
        const double sort = Milliseconds([&] { window.lvwItemsColumnClick(click.column); });
        std::printf("  header click, %-34s %8.1f ms\n", click.what, sort);
    }
    list->selectAll();
    const double selectedSort = Milliseconds([&] { window.lvwItemsColumnClick(0); });
    std::printf("  header click with every row selected:    %8.1f ms\n", selectedSort);
    return 0;
}
