#include "platform/recycling_net_file_api.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace pellquin {
namespace {

// A client that serves `entriesPerRound` entries per enumeration round, pages when asked to,
// and records how many clients are alive at once (libnetapi allows one).
struct Clients {
    int made = 0;
    int alive = 0;
    int mostAlive = 0;
    bool failNext = false;
};

class CountingClient : public NetFileApi {
public:
    CountingClient(Clients& clients, int serial) : m_clients(clients), m_serial(serial) {
        m_clients.mostAlive = std::max(m_clients.mostAlive, ++m_clients.alive);
    }
    ~CountingClient() override { --m_clients.alive; }

    uint32_t ShareGetInfo(const std::string&, const std::string&, std::string* folder) override {
        *folder = std::to_string(m_serial);
        return 0;
    }
    uint32_t FileEnum(const std::optional<std::string>&, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override {
        // A base path "page" asks for two rounds: the first says more data.
        for (int i = 0; i < entriesPerRound; ++i) {
            entries->push_back(OpenFileEntry{static_cast<uint32_t>(m_serial), 0, 0, "x", "u"});
        }
        if (basePath == "page" && *resumeHandle == 0) {
            *resumeHandle = 1;
            return NET_MORE_DATA;
        }
        *resumeHandle = 0;
        return 0;
    }
    uint32_t FileClose(const std::optional<std::string>&, uint32_t id) override {
        return id == static_cast<uint32_t>(m_serial) ? 0 : 2;
    }
    std::string ReportedBasePath(const std::optional<std::string>&,
                                 const std::string& basePath) override {
        return "C:" + basePath;
    }

    int entriesPerRound = 10;

private:
    Clients& m_clients;
    int m_serial;
};

class RecyclingTest : public ::testing::Test {
protected:
    std::unique_ptr<RecyclingNetFileApi> Make(RecyclePolicy policy) {
        auto factory = [this]() -> std::unique_ptr<NetFileApi> {
            if (m_clients.failNext) {
                m_clients.failNext = false;
                return nullptr;
            }
            return std::make_unique<CountingClient>(m_clients, ++m_clients.made);
        };
        auto first = factory();
        return std::make_unique<RecyclingNetFileApi>(factory, std::move(first), policy);
    }

    // The serial of the client that answers now.
    static int Serving(NetFileApi& api) {
        std::string folder;
        api.ShareGetInfo("srv", "data", &folder);
        return std::stoi(folder);
    }

    static uint32_t Enumerate(NetFileApi& api, const std::string& basePath, size_t* count) {
        uint32_t resume = 0;
        std::vector<OpenFileEntry> entries;
        uint32_t status = 0;
        do {
            status = api.FileEnum(std::string("srv"), basePath, &resume, &entries);
        } while (status == NET_MORE_DATA);
        *count = entries.size();
        return status;
    }

    Clients m_clients;
};

TEST_F(RecyclingTest, ACallLimitReplacesTheClientAndNeverKeepsTwo) {
    auto api = Make(RecyclePolicy{1000000, 3});
    EXPECT_EQ(Serving(*api), 1);
    EXPECT_EQ(Serving(*api), 1);
    EXPECT_EQ(Serving(*api), 1);
    EXPECT_EQ(Serving(*api), 2);  // the fourth call finds the first client used up
    EXPECT_EQ(api->FileClose(std::nullopt, 2), 0u);
    EXPECT_EQ(api->Recreations(), 1u);
    EXPECT_EQ(m_clients.mostAlive, 1);
}

TEST_F(RecyclingTest, TheInnerClientsFormOfTheBasePathIsKept) {
    // The engine filters rows against this form; losing it would drop every local row.
    auto api = Make(RecyclePolicy{1000000, 1});
    EXPECT_EQ(api->ReportedBasePath(std::nullopt, "\\srv\\data"), "C:\\srv\\data");
    EXPECT_EQ(Serving(*api), 1);  // asking for the form used up no call
    // Nor does it replace a used-up client: another thread may be in a call on it.
    EXPECT_EQ(api->ReportedBasePath(std::nullopt, "\\srv\\data"), "C:\\srv\\data");
    EXPECT_EQ(m_clients.made, 1);
}

TEST_F(RecyclingTest, AnEntryLimitCountsWhatEnumerationsReturned) {
    auto api = Make(RecyclePolicy{25, 1000});
    size_t count = 0;
    ASSERT_EQ(Enumerate(*api, "", &count), 0u);
    ASSERT_EQ(Enumerate(*api, "", &count), 0u);
    EXPECT_EQ(Serving(*api), 1);  // 20 entries: still within the limit
    ASSERT_EQ(Enumerate(*api, "", &count), 0u);
    EXPECT_EQ(Serving(*api), 2);  // 30 entries: replaced before the next call
    EXPECT_EQ(api->Recreations(), 1u);
}

TEST_F(RecyclingTest, APagedEnumerationFinishesOnTheClientThatStartedIt) {
    // The first round of a paged listing uses up the client; its second round must still go
    // to the same connection, whose resume handle it carries.
    auto api = Make(RecyclePolicy{5, 1000});
    size_t count = 0;
    ASSERT_EQ(Enumerate(*api, "page", &count), 0u);
    EXPECT_EQ(count, 20u);
    EXPECT_EQ(m_clients.made, 1);
    EXPECT_EQ(Serving(*api), 2);
}

TEST_F(RecyclingTest, AFailedReplacementFailsTheCallAndTheNextCallTriesAgain) {
    auto api = Make(RecyclePolicy{1000000, 1});
    EXPECT_EQ(Serving(*api), 1);
    m_clients.failNext = true;
    std::string folder;
    EXPECT_EQ(api->ShareGetInfo("srv", "data", &folder), 8u);
    EXPECT_EQ(m_clients.alive, 0);  // the used-up client was let go before the attempt
    EXPECT_EQ(Serving(*api), 2);
}

}  // namespace
}  // namespace pellquin
