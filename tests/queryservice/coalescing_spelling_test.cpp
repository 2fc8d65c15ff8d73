// The server's spelling of a typed path through the coalescing client: a path of this
// machine's shares is settled from the file system while an enumeration holds the network
// client, so the requests still share the next enumeration; what only the server can tell
// is asked once for the requests that wait together.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/samba_path_forms.h"
#include "queryservice/coalescing_net_file_api.h"

namespace pellquin {
namespace {

using namespace std::chrono_literals;

// A Samba-like server whose enumerations are counted and held until the test releases them,
// and whose spelling and server-type answers are counted.
class SpellingServer : public NetFileApi {
public:
    std::string folder;                            // every share's folder, in the server's form
    std::map<std::string, std::string> spellings;  // the server's answers; others as typed
    bool exactNames = true;

    uint32_t ShareGetInfo(const std::string&, const std::string&, std::string* out) override {
        *out = folder;
        return 0;
    }
    uint32_t FileEnum(const std::optional<std::string>&, const std::string&, uint32_t*,
                      std::vector<OpenFileEntry>* entries) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        const int number = ++m_started;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released >= number; });
        entries->push_back({1, 1, 0, "C:\\srv\\a.txt", "bob#" + std::to_string(number)});
        return NET_OK;
    }
    uint32_t FileClose(const std::optional<std::string>&, uint32_t) override { return 0; }
    std::string NameOnServer(const std::string& server, const std::string&,
                             const std::string& path) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        asked.push_back(server + " " + path);
        const auto found = spellings.find(path);
        return found == spellings.end() ? path : found->second;
    }
    bool ReportsExactNames(const std::optional<std::string>&) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++typeAsks;
        return exactNames;
    }

    bool WaitStarted(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_started >= count; });
    }
    void ReleaseOne() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_released;
        m_changed.notify_all();
    }
    // Lets every enumeration, begun or to come, end (a failed test must not hang).
    void ReleaseAll() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = 1 << 30;
        m_changed.notify_all();
    }
    int Started() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_started;
    }
    std::vector<std::string> Asked() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return asked;
    }

    std::vector<std::string> asked;
    int typeAsks = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_started = 0;
    int m_released = 0;
};

std::future<std::string> FirstUser(NetFileApi& api) {
    return std::async(std::launch::async, [&api] {
        uint32_t resume = 0;
        std::vector<OpenFileEntry> entries;
        api.FileEnum(std::nullopt, "", &resume, &entries);
        return entries.empty() ? std::string() : entries[0].userName;
    });
}

std::future<std::string> Spell(NetFileApi& api, const std::string& server,
                               const std::string& path) {
    return std::async(std::launch::async,
                      [&api, server, path] { return api.NameOnServer(server, "data", path); });
}

// A share folder on the local file system: Reports/big.txt and reports/q1.xls side by side,
// and rep/ alone.
class ShareFolder {
public:
    ShareFolder() {
        char pattern[] = "/tmp/pellquin-spelling-XXXXXX";
        m_dir = mkdtemp(pattern) ? pattern : "";
        std::filesystem::create_directories(m_dir + "/Reports");
        std::filesystem::create_directories(m_dir + "/reports");
        std::filesystem::create_directories(m_dir + "/rep");
        std::ofstream(m_dir + "/Reports/big.txt") << "big\n";
        std::ofstream(m_dir + "/reports/q1.xls") << "q1\n";
    }
    ~ShareFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    bool ok() const { return !m_dir.empty(); }
    std::string serverForm() const { return SambaServerForm(m_dir); }

private:
    std::string m_dir;
};

TEST(CoalescingNetFileApiSpelling, ThisMachinesPathsAreSettledWhileAnEnumerationRuns) {
    ShareFolder share;
    ASSERT_TRUE(share.ok());
    auto owned = std::make_unique<SpellingServer>();
    SpellingServer& server = *owned;
    server.folder = share.serverForm();
    CoalescingNetFileApi api(std::move(owned));
    for (const std::string name : {"", "127.0.0.213"}) {
        std::string folder;
        ASSERT_EQ(api.ShareGetInfo(name, "data", &folder), 0u);
    }

    auto first = FirstUser(api);
    ASSERT_TRUE(server.WaitStarted(1));
    // Found as typed, or with no single other spelling the server could open: no network
    // call, so none waits for the enumeration that holds the client.
    const struct {
        std::string server;
        std::string path;
    } settled[] = {
        {"", "Reports"},
        {"", "reports\\q1.xls"},
        {"127.0.0.213", "Reports\\big.txt"},
        {"127.0.0.213", "REPORTS"},          // two folders differ in case alone
        {"127.0.0.213", "reports\\Q2.XLS"},  // no such file in any case
        {"127.0.0.213", "missing\\x.txt"},
    };
    // The first ask of a server's type takes the client like any call.
    auto learn = Spell(api, "", "Reports");
    auto learnLoopback = Spell(api, "127.0.0.213", "Reports");
    EXPECT_EQ(learn.wait_for(100ms), std::future_status::timeout);
    server.ReleaseOne();
    EXPECT_EQ(first.get(), "bob#1");
    EXPECT_EQ(learn.get(), "Reports");
    EXPECT_EQ(learnLoopback.get(), "Reports");

    first = FirstUser(api);
    ASSERT_TRUE(server.WaitStarted(2));
    for (const auto& c : settled) {
        auto spelled = Spell(api, c.server, c.path);
        const bool answered = spelled.wait_for(5s) == std::future_status::ready;
        EXPECT_TRUE(answered) << "waited for the enumeration: " << c.server << " " << c.path;
        if (!answered) {
            server.ReleaseAll();
        }
        EXPECT_EQ(spelled.get(), c.path) << c.server;
    }
    // Requests that were spelled meanwhile share the next enumeration.
    auto second = FirstUser(api);
    auto third = FirstUser(api);
    EXPECT_EQ(second.wait_for(100ms), std::future_status::timeout);
    server.ReleaseOne();
    EXPECT_EQ(first.get(), "bob#2");
    ASSERT_TRUE(server.WaitStarted(3));
    server.ReleaseOne();
    EXPECT_EQ(second.get(), "bob#3");
    EXPECT_EQ(third.get(), "bob#3");
    EXPECT_EQ(server.Started(), 3);
    EXPECT_TRUE(server.Asked().empty());
    EXPECT_EQ(server.typeAsks, 2) << "once for each name of the server";
}

TEST(CoalescingNetFileApiSpelling, WhatOnlyTheServerCanTellIsAskedOnceForThoseWaitingTogether) {
    ShareFolder share;
    ASSERT_TRUE(share.ok());
    auto owned = std::make_unique<SpellingServer>();
    SpellingServer& server = *owned;
    server.folder = share.serverForm();
    server.spellings = {{"REP", "rep"}, {"REPORTS", "Reports"}};
    CoalescingNetFileApi api(std::move(owned));
    std::string folder;
    ASSERT_EQ(api.ShareGetInfo("", "data", &folder), 0u);
    // "REP" differs from rep/ in case alone: only the server knows whether its share opens
    // it. Every path of another machine is the server's to spell.
    auto first = FirstUser(api);
    ASSERT_TRUE(server.WaitStarted(1));
    server.ReleaseOne();
    first.get();
    EXPECT_EQ(api.NameOnServer("", "data", "Reports"), "Reports");
    EXPECT_TRUE(api.ReportsExactNames(std::string("fs01")));

    first = FirstUser(api);
    ASSERT_TRUE(server.WaitStarted(2));
    std::vector<std::future<std::string>> local;
    std::vector<std::future<std::string>> remote;
    for (int i = 0; i < 3; ++i) {
        local.push_back(Spell(api, "", "REP"));
        remote.push_back(Spell(api, "fs01", "REPORTS"));
    }
    EXPECT_EQ(local[0].wait_for(100ms), std::future_status::timeout);
    server.ReleaseOne();
    first.get();
    for (auto& answer : local) {
        EXPECT_EQ(answer.get(), "rep");
    }
    for (auto& answer : remote) {
        EXPECT_EQ(answer.get(), "Reports");
    }
    // Kept for a few seconds: asked again at once, the server is not.
    EXPECT_EQ(api.NameOnServer("", "data", "REP"), "rep");
    EXPECT_EQ(api.NameOnServer("fs01", "data", "REPORTS"), "Reports");
    std::vector<std::string> asked = server.Asked();
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{" REP", "fs01 REPORTS"}));
}

TEST(CoalescingNetFileApiSpelling, AServerThatIgnoresCaseGetsThePathAsTypedWithoutAnyCall) {
    auto owned = std::make_unique<SpellingServer>();
    SpellingServer& server = *owned;
    server.exactNames = false;
    CoalescingNetFileApi api(std::move(owned));
    EXPECT_EQ(api.NameOnServer("fs01", "data", "REPORTS"), "REPORTS");
    EXPECT_EQ(api.NameOnServer("fs01", "data", "reports"), "reports");
    EXPECT_TRUE(server.Asked().empty());
    EXPECT_FALSE(api.ReportsExactNames(std::string("fs01")));
    EXPECT_EQ(server.typeAsks, 1) << "a \"no\" is kept for a while too";
}

// A link in the share that leads out of it: whether the server is asked must not depend on
// what the folder outside holds (a client could time the answers and learn its names), so a
// path through a link is always the server's to judge, which applies its own link rules.
TEST(CoalescingNetFileApiSpelling, APathThroughALinkIsTheServersToJudge) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/pellquin-spelling-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string base = pattern;
    fs::create_directories(base + "/share/inside");
    fs::create_directories(base + "/outside/Secret");
    fs::create_symlink("../outside", base + "/share/out");
    fs::create_symlink("inside", base + "/share/near");

    auto owned = std::make_unique<SpellingServer>();
    SpellingServer& server = *owned;
    server.folder = SambaServerForm(base + "/share");
    CoalescingNetFileApi api(std::move(owned));
    std::string folder;
    ASSERT_EQ(api.ShareGetInfo("", "data", &folder), 0u);
    // Found as typed outside, one other spelling outside, nothing outside; a link that stays
    // in the share is the server's too.
    const std::vector<std::string> typed = {"out\\Secret", "out\\secret", "out\\nothing",
                                            "near\\x.txt"};
    for (const std::string& path : typed) {
        EXPECT_EQ(api.NameOnServer("", "data", path), path);
    }
    std::vector<std::string> asked = server.Asked();
    std::sort(asked.begin(), asked.end());
    std::vector<std::string> expected;
    for (const std::string& path : typed) {
        expected.push_back(" " + path);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(asked, expected);

    std::error_code ignored;
    fs::remove_all(base, ignored);
}

}  // namespace
}  // namespace pellquin
