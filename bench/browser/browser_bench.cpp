// Times listing a local directory of 100,000 entries into the file list (the real directory
// adapter, the browser's widgets offscreen) and header-click sorts of it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QHeaderView>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "browser/core/browser_logic.h"
#include "browser/drive_tree.h"
#include "browser/path_browser.h"
#include "fake_drive_mapper.h"
#include "fake_drive_source.h"
#include "quiet_browser_host.h"
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    constexpr int kEntries = 100000;
    constexpr int kRounds = 5;

    char pattern[] = "/tmp/pellquin-browser-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    // Files of varied sizes (sparse: no disk used) with a few hundred directories among them.
    uint32_t seed = 12345;
    const double made = Milliseconds([&] {
        for (int i = 0; i < kEntries; ++i) {
            seed = seed * 1103515245u + 12345u;
            const std::string path =
                dir + "/entry" + std::to_string(seed % 1000003) + "_" + std::to_string(i);
            if (i % 250 == 0) {
                mkdir(path.c_str(), 0755);
                continue;
            }
            const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
            if (fd < 0 || ftruncate(fd, static_cast<off_t>(seed % (64 * 1024 * 1024))) != 0) {
                std::fprintf(stderr, "cannot make %s\n", path.c_str());
                return;
            }
            close(fd);
        }
    });

    SilentPrompts prompts;
    std::vector<std::string> favourites;
    QSplitter splitter;
    splitter.resize(900, 600);
    auto drives = std::make_unique<test::FakeDriveSource>();
    drives->drives = {{dir, "/bench", DriveType::Fixed, "BENCH", ""}};
    BrowserServices services;
    services.drives = std::move(drives);
    services.directories = MakeDirectoryLister(std::string());
    services.mapper = std::make_unique<test::FakeDriveMapper>();
    BrowserHost host = test::QuietBrowserHost(favourites);
    TPathBrowser browser(&splitter, std::move(services), std::move(host), prompts);
    splitter.show();
    browser.LoadDrives();
    QTreeWidgetItem* drive = browser.tvwDrives()->topLevelItem(0)->child(0);
    QTreeWidgetItem* group = browser.tvwDrives()->topLevelItem(0);

    auto lister = MakeDirectoryLister(std::string());
    std::vector<double> core;
    std::vector<double> listed;
    for (int round = 0; round < kRounds; ++round) {
        core.push_back(Milliseconds(
            [&] { ListFileItems(*lister, dir, true, PatternDateText("dd/MM/yyyy"), nullptr); }));
        browser.tvwDrives()->setCurrentItem(group);
        listed.push_back(Milliseconds([&] { browser.tvwDrives()->setCurrentItem(drive); }));
    }
    const int rows = browser.lvwFiles()->model()->rowCount();
    std::vector<double> sorts[3];
    const int columns[3] = {0, 1, 2};
    for (int round = 0; round < kRounds; ++round) {
        for (int c = 0; c < 3; ++c) {
            sorts[c].push_back(Milliseconds([&] { browser.lvwFilesColumnClick(columns[c]); }));
        }
    }

    std::printf("directory of %d entries (%d rows listed; made in %.0f ms), median of %d:\n",
                kEntries, rows, made, kRounds);
    std::printf("  read and make items (browser core, real adapter): %.1f ms\n", Median(core));
    std::printf("  list into lvwFiles (select the node; read, fill, sort by name): %.1f ms\n",
                Median(listed));
    std::printf("  header click, File Name: %.1f ms\n", Median(sorts[0]));
    std::printf("  header click, Size: %.1f ms\n", Median(sorts[1]));
    std::printf("  header click, Date Modified: %.1f ms\n", Median(sorts[2]));
    std::filesystem::remove_all(dir);
    return 0;
}
