// A bounded soak of the query service against a private Samba server with many files open:
// QUERIES whole-share queries through the service from a few clients at once, the service's
// resident memory after the first 20 and at the end, and meanwhile one address (127.0.0.3)
// holding IDLE idle connections while another (127.0.0.1) asks every half second and must be
// answered every time within 2 s.
//
//   service_soak [FILES=5000] [QUERIES=1000] [IP=127.0.0.97] [IDLE=1500] [CLIENTS=4]
//
// Needs root (the private server). Prints the figures; asserts nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "file_holder.h"
#include "platform/system_info.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "samba_sandbox.h"
#include "service_process.h"

namespace {

using namespace pellquin;
using Clock = std::chrono::steady_clock;

// One query of the whole share through the service; the number of rows, or -1 on failure.
long Query(ServiceClient& client, const std::string& ip) {
    TPellquinRequest request;
    request.Server = ip;
    request.Share = "data";
    request.RequestKind = REQUEST_QUERY;
    try {
        client.QueryThroughService(request);
    } catch (const ServiceReplyError&) {
        return -1;
    }
    return request.ErrorText.empty() ? static_cast<long>(request.Items.size()) : -1;
}

// Opens up to `count` connections from `source` to the service and keeps them idle; closes
// them when destroyed.
class IdleConnections {
public:
    IdleConnections(const std::string& source, const std::string& ip, int count) {
        for (int i = 0; i < count; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            if (fd < 0) {
                break;
            }
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_addr.s_addr = inet_addr(source.c_str());
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(SERVICE_PORT);
            to.sin_addr.s_addr = inet_addr(ip.c_str());
            if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
                connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
                close(fd);
                ++m_failed;
                continue;
            }
            m_fds.push_back(fd);
        }
    }
    ~IdleConnections() {
        for (const int fd : m_fds) {
            close(fd);
        }
    }
    size_t Opened() const { return m_fds.size(); }
    int Failed() const { return m_failed; }

private:
    std::vector<int> m_fds;
    int m_failed = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 5000;
    const int queries = argc > 2 ? std::atoi(argv[2]) : 1000;
    const std::string ip = argc > 3 ? argv[3] : "127.0.0.97";
    const int idle = argc > 4 ? std::atoi(argv[4]) : 1500;
    const int clients = argc > 5 ? std::atoi(argv[5]) : 4;

    std::string reason;
    if (!test::SambaSandbox::CanRun(&reason)) {
        std::cerr << "cannot run a private Samba server: " << reason << "\n";
        return 1;
    }
    test::SambaSandbox sandbox(ip);
    if (!sandbox.ok()) {
        std::cerr << sandbox.error() << "\n";
        return 1;
    }
    std::cout << "holding " << files << " files open..." << std::flush;
    test::FileHolder holder(sandbox, sandbox.userCredentials(), {}, files);
    if (!holder.ok()) {
        std::cerr << "\n" << holder.error() << "\n";
        return 1;
    }
    std::cout << " done\n";
    test::ServiceProcess service(
        ip, SERVICE_PORT,
        "samba_server = " + ip + "\ncredentials_file = " + sandbox.adminCredentials() + "\n");
    if (!service.ok()) {
        std::cerr << service.error() << "\n";
        return 1;
    }

    ServiceClient first(MakeSystemInfo(), std::make_unique<TcpTransport>());
    for (int i = 0; i < 20; ++i) {
        if (Query(first, ip) < static_cast<long>(files)) {
            std::cerr << "a warm-up query failed\n";
            return 1;
        }
    }
    const long rssAfter20 = service.ResidentKb();

    // The other address holds its idle connections while the soak runs; one client of this
    // address asks every half second.
    std::atomic<bool> soaking{true};
    std::atomic<int> victimAsked{0};
    std::atomic<int> victimAnswered{0};
    std::atomic<long> victimWorstMs{0};
    size_t idleOpened = 0;
    int idleRefused = 0;
    std::thread victim([&] {
        IdleConnections flood("127.0.0.3", ip, idle);
        idleOpened = flood.Opened();
        idleRefused = flood.Failed();
        ServiceClient client(MakeSystemInfo(), std::make_unique<TcpTransport>());
        while (soaking) {
            const auto start = Clock::now();
            const long rows = Query(client, ip);
            const long ms = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                    .count());
            ++victimAsked;
            if (rows >= static_cast<long>(files) && ms <= 2000) {
                ++victimAnswered;
            }
            victimWorstMs = std::max(victimWorstMs.load(), ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    });

    std::atomic<int> next{20};
    std::atomic<int> failed{0};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            ServiceClient client(MakeSystemInfo(), std::make_unique<TcpTransport>());
            while (next++ < queries) {
                if (Query(client, ip) < static_cast<long>(files)) {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    soaking = false;
    victim.join();
    const long rssEnd = service.ResidentKb();

    std::cout << std::fixed << std::setprecision(1) << queries << " queries of " << files
              << " open files, " << clients << " clients at once: " << seconds << " s, " << failed
              << " failed\n"
              << "service RSS after 20 queries " << rssAfter20 / 1024.0 << " MB, after " << queries
              << " " << rssEnd / 1024.0 << " MB (growth " << (rssEnd - rssAfter20) / 1024.0
              << " MB)\n"
              << "127.0.0.3 opened " << idleOpened << " idle connections (" << idleRefused
              << " not even connected; the service keeps at most its per-address limit and "
                 "closes the rest at once); 127.0.0.1 was answered within 2 s "
              << victimAnswered << " of " << victimAsked << " times (slowest " << victimWorstMs
              << " ms)\n";
    return 0;
}
