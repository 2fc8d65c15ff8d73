#include "queryservice/coalescer.h"
#include "queryservice/coalescing_net_file_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace pellquin {
namespace {

using namespace std::chrono_literals;

// A file server whose enumerations are counted and held until the test releases them.
// Each enumeration's entries name its number, so a test sees which one answered.
class HeldServer : public NetFileApi {
public:
    std::vector<OpenFileEntry> files = {{1, 1, 0, "C:\\srv\\data\\a.txt", "bob"},
                                        {2, 1, 0, "C:\\srv\\data\\reports\\q1.xls", "eve"},
                                        {3, 1, 0, "C:\\srv\\other\\b.txt", "ann"}};

    uint32_t ShareGetInfo(const std::string&, const std::string& share,
                          std::string* folder) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        lookups.push_back(share);
        *folder = "C:\\srv\\" + share;
        return share == "gone" ? 2310 : 0;
    }
    uint32_t FileEnum(const std::optional<std::string>&, const std::string& basePath, uint32_t*,
                      std::vector<OpenFileEntry>* entries) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        bases.push_back(basePath);
        const int number = ++m_started;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released >= number; });
        for (OpenFileEntry entry : files) {
            entry.userName += "#" + std::to_string(number);
            entries->push_back(entry);
        }
        return failWith;
    }
    uint32_t FileClose(const std::optional<std::string>&, uint32_t) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++closes;
        return 0;
    }

    // Waits until `count` enumerations have begun.
    bool WaitStarted(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_started >= count; });
    }
    void ReleaseOne() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_released;
        m_changed.notify_all();
    }
    int Started() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_started;
    }

    uint32_t failWith = NET_OK;
    std::vector<std::string> bases;
    std::vector<std::string> lookups;
    int closes = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_started = 0;
    int m_released = 0;
};

struct Answer {
    uint32_t status = 0;
    std::vector<OpenFileEntry> entries;
};

std::future<Answer> Ask(NetFileApi& api, const std::string& base) {
    return std::async(std::launch::async, [&api, base] {
        Answer answer;
        uint32_t resume = 0;
        answer.status = api.FileEnum(std::string("srv"), base, &resume, &answer.entries);
        return answer;
    });
}

// Whether the future stays unanswered for a while (a short wait: it is meant to block).
bool StillWaiting(std::future<Answer>& answer) {
    return answer.wait_for(100ms) == std::future_status::timeout;
}

std::vector<std::string> Users(const Answer& answer) {
    std::vector<std::string> users;
    for (const OpenFileEntry& entry : answer.entries) {
        users.push_back(entry.userName);
    }
    return users;
}

TEST(CoalescingNetFileApi, ConcurrentRequestsShareOneEnumerationEachFilteredByItsOwnBase) {
    auto owned = std::make_unique<HeldServer>();
    HeldServer& server = *owned;
    CoalescingNetFileApi api(std::move(owned));

    // The first request starts enumeration 1; the three that arrive while it runs must not
    // be answered from it, and all share enumeration 2.
    auto first = Ask(api, "C:\\srv\\data");
    ASSERT_TRUE(server.WaitStarted(1));
    auto whole = Ask(api, "");
    auto data = Ask(api, "C:\\SRV\\DATA");
    auto reports = Ask(api, "C:\\srv\\data\\reports");
    auto nothing = Ask(api, "C:\\srv\\dat");
    EXPECT_TRUE(StillWaiting(whole));

    server.ReleaseOne();
    EXPECT_EQ(Users(first.get()), (std::vector<std::string>{"bob#1", "eve#1"}));
    ASSERT_TRUE(server.WaitStarted(2));
    EXPECT_TRUE(StillWaiting(data)) << "answered from the enumeration that began before it";
    server.ReleaseOne();

    EXPECT_EQ(Users(whole.get()), (std::vector<std::string>{"bob#2", "eve#2", "ann#2"}));
    EXPECT_EQ(Users(data.get()), (std::vector<std::string>{"bob#2", "eve#2"}));
    EXPECT_EQ(Users(reports.get()), (std::vector<std::string>{"eve#2"}));
    EXPECT_TRUE(nothing.get().entries.empty());
    EXPECT_EQ(server.Started(), 2);
    // The server is asked for everything; the filter is ours.
    EXPECT_EQ(server.bases, (std::vector<std::string>{"", ""}));
}

TEST(CoalescingNetFileApi, AFailedEnumerationFailsEveryRequestItAnswersAndTheNextOneRetries) {
    auto owned = std::make_unique<HeldServer>();
    HeldServer& server = *owned;
    server.failWith = 2152;
    CoalescingNetFileApi api(std::move(owned));

    auto first = Ask(api, "C:\\srv\\data");
    ASSERT_TRUE(server.WaitStarted(1));
    server.ReleaseOne();
    const Answer failed = first.get();
    EXPECT_EQ(failed.status, 2152u);
    EXPECT_TRUE(failed.entries.empty());

    server.failWith = NET_OK;
    auto second = Ask(api, "C:\\srv\\data");
    ASSERT_TRUE(server.WaitStarted(2));
    server.ReleaseOne();
    EXPECT_EQ(Users(second.get()), (std::vector<std::string>{"bob#2", "eve#2"}));
}

TEST(CoalescingNetFileApi, ClosesAreNeverSharedAndWaitOnlyForTheRunningCall) {
    auto owned = std::make_unique<HeldServer>();
    HeldServer& server = *owned;
    CoalescingNetFileApi api(std::move(owned));

    auto query = Ask(api, "");
    ASSERT_TRUE(server.WaitStarted(1));
    auto closeOne =
        std::async(std::launch::async, [&] { return api.FileClose(std::string("\\\\srv"), 5); });
    auto closeTwo =
        std::async(std::launch::async, [&] { return api.FileClose(std::string("\\\\srv"), 5); });
    // One network call at a time: the closes wait for the enumeration.
    EXPECT_EQ(closeOne.wait_for(100ms), std::future_status::timeout);
    server.ReleaseOne();
    EXPECT_EQ(closeOne.get(), 0u);
    EXPECT_EQ(closeTwo.get(), 0u);
    query.get();
    EXPECT_EQ(server.closes, 2);
}

TEST(CoalescingNetFileApi, ShareLookUpsWaitingForTheServerShareOneCallPerShare) {
    auto owned = std::make_unique<HeldServer>();
    HeldServer& server = *owned;
    CoalescingNetFileApi api(std::move(owned));

    auto query = Ask(api, "");
    ASSERT_TRUE(server.WaitStarted(1));
    const auto lookUp = [&](const std::string& share) {
        return std::async(std::launch::async, [&api, share] {
            std::string folder;
            const uint32_t status = api.ShareGetInfo("srv", share, &folder);
            return std::to_string(status) + " " + folder;
        });
    };
    std::vector<std::future<std::string>> data;
    for (int i = 0; i < 4; ++i) {
        data.push_back(lookUp("data"));
    }
    auto gone = lookUp("gone");
    std::this_thread::sleep_for(100ms);
    server.ReleaseOne();
    for (auto& answer : data) {
        EXPECT_EQ(answer.get(), "0 C:\\srv\\data");
    }
    EXPECT_EQ(gone.get(), "2310 ");
    query.get();
    std::sort(server.lookups.begin(), server.lookups.end());
    EXPECT_EQ(server.lookups, (std::vector<std::string>{"data", "gone"}));
}

TEST(EnumerationCoalescer, ABurstSharesFewEnumerationsAndNoneIsOlderThanItsRequest) {
    std::mutex mutex;
    std::mutex callLock;
    int started = 0;
    EnumerationCoalescer coalescer(
        [&] {
            uint32_t number = 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                number = static_cast<uint32_t>(++started);
            }
            std::this_thread::sleep_for(2ms);
            ServerEnumeration result;
            result.entries.push_back(OpenFileEntry{number, 0, 0, "", ""});
            return result;
        },
        callLock);
    std::vector<std::thread> threads;
    std::vector<uint32_t> seen(40);
    std::vector<int> startedAtArrival(40);
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] {
            {
                std::lock_guard<std::mutex> lock(mutex);
                startedAtArrival[i] = started;
            }
            seen[i] = coalescer.Await()->entries.at(0).id;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (size_t i = 0; i < seen.size(); ++i) {
        // Enumerations numbered up to the count at arrival had begun before the request.
        EXPECT_GT(static_cast<int>(seen[i]), startedAtArrival[i]) << "request " << i;
    }
    EXPECT_LT(started, 40);
}

}  // namespace
}  // namespace pellquin
