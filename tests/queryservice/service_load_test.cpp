// The service program under many clients at once: its test build with the stand-in file server.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "raw_client.h"
#include "service_process.h"

namespace pellquin {
namespace {

constexpr const char* kIp = "127.0.0.90";
constexpr uint16_t kPort = 8021;

struct RoundResult {
    int answered = 0;
    int wrong = 0;
};

// `clients` full exchanges at once, beside `idle` silent connections and `garbage`
// connections that send random bytes.
RoundResult Round(int clients, int idle, int garbage) {
    std::vector<std::unique_ptr<test::RawClient>> idlers;
    for (int i = 0; i < idle; ++i) {
        idlers.push_back(std::make_unique<test::RawClient>(kIp, kPort));
    }
    std::atomic<int> answered{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < garbage; ++i) {
        threads.emplace_back([i] {
            std::mt19937 random(static_cast<unsigned>(i));
            std::vector<uint8_t> bytes(1 + random() % 3000);
            for (auto& b : bytes) {
                b = static_cast<uint8_t>(random());
            }
            test::RawClient client(kIp, kPort);
            client.Send(bytes);
            client.ClosedByPeer(15000);
        });
    }
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([i, &answered, &wrong] {
            test::RawClient client(kIp, kPort, 20000);
            const auto reply =
                client.Exchange(test::QueryRecord(kIp, "data", "dir" + std::to_string(i)));
            if (reply && reply->ok && reply->rows.size() == 3 &&
                reply->header.BasePath == "C:\\srv\\data\\dir" + std::to_string(i)) {
                ++answered;
            } else {
                ++wrong;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (auto& idler : idlers) {
        idler->ClosedByPeer(15000);
    }
    return RoundResult{answered.load(), wrong.load()};
}

// Waits for the service to let go of every connection of a round.
size_t SettledDescriptors(const test::ServiceProcess& service, size_t expected) {
    size_t count = service.OpenDescriptors();
    for (int i = 0; i < 50 && count != expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        count = service.OpenDescriptors();
    }
    return count;
}

// The descriptor count once it has stopped falling for half a second: the connections of a
// round are gone and what is left is the service's own working set.
size_t SteadyDescriptors(const test::ServiceProcess& service) {
    size_t count = service.OpenDescriptors();
    for (int stable = 0, i = 0; stable < 5 && i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const size_t now = service.OpenDescriptors();
        stable = now == count ? stable + 1 : 0;
        count = now;
    }
    return count;
}

TEST(ServiceLoad, HundredsOfClientsAreAllAnsweredAndNothingIsLeftBehind) {
    // The time limit must outlast a client thread's wait for the CPU while hundreds start at
    // once beside the rest of the test suite; idle connections are dropped after it. Every
    // client comes from one address here, so that address may hold every connection.
    test::ServiceProcess service(kIp, kPort,
                                 "io_timeout_ms = 4000\nmax_connections_per_client = 512\n",
                                 {"--canned-engine", "3"});
    ASSERT_TRUE(service.ok()) << service.error();
    const size_t startDescriptors = service.OpenDescriptors();

    // The first round lets the allocator, the kernel's buffers and the service's lazily made
    // descriptors (its engine thread's, for one) reach their working size.
    RoundResult result = Round(400, 50, 50);
    EXPECT_EQ(result.answered, 400);
    const size_t idleDescriptors = SteadyDescriptors(service);
    EXPECT_LE(idleDescriptors, startDescriptors + 4);
    const long warmKb = service.ResidentKb();

    for (int round = 0; round < 2; ++round) {
        result = Round(400, 50, 50);
        EXPECT_EQ(result.answered, 400);
        EXPECT_EQ(result.wrong, 0);
    }
    EXPECT_EQ(SettledDescriptors(service, idleDescriptors), idleDescriptors);
    const long afterKb = service.ResidentKb();
    std::printf(
        "service: %zu descriptors idle; resident %ld kB after warm-up, %ld kB after "
        "two more rounds\n",
        idleDescriptors, warmKb, afterKb);
    EXPECT_LT(afterKb, warmKb + 4096);
}

}  // namespace
}  // namespace pellquin
