// Times checks through the query service against direct checks, in the same run, on a
// private Samba server, and measures the service's throughput for small queries with many
// concurrent clients (against Samba, and against the stand-in server of the service's test
// build, which shows the service's own cost). Both run the test build, which is the shipped
// program plus that stand-in.
//
//   service_bench [FILES=5000] [REPETITIONS=7] [IP=127.0.0.99] [CLIENTS=200] [REQUESTS=4000]
//
// Needs root (the private server). Prints medians, the ratio and requests per second.
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
#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "query/mod_pq.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "samba_sandbox.h"
#include "service_process.h"

namespace {

using namespace pellquin;
using test::FileHolder;
using test::SambaSandbox;
using test::ServiceProcess;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Seconds of one check of `path`, or a negative value when it failed or listed the wrong
// number of rows.
double TimedCheck(TmodPQ& modPQ, const std::string& path, int tryDirect, int tryService,
                  size_t expected) {
    TPellquinRequest request;
    request.ClientPath = request.Path = path;
    request.RequestKind = REQUEST_QUERY;
    const auto start = std::chrono::steady_clock::now();
    modPQ.QueryOpenFiles(request, tryDirect, tryService);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!request.ErrorText.empty() || request.Items.size() != expected) {
        std::cerr << "check failed: " << request.ErrorText << " (" << request.Items.size()
                  << " rows, expected " << expected << ")\n";
        return -1;
    }
    return seconds;
}

// Requests per second of `requests` small queries spread over `clients` threads, each with
// its own connection per request.
double Throughput(const std::string& ip, uint16_t port, const std::string& share,
                  const std::string& path, int clients, int requests, size_t expected) {
    std::atomic<int> next{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    const auto start = std::chrono::steady_clock::now();
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            ServiceClient client(MakeSystemInfo(), std::make_unique<TcpTransport>(), port);
            while (next++ < requests) {
                TPellquinRequest request;
                request.Server = ip;
                request.Share = share;
                request.Path = path;
                request.RequestKind = REQUEST_QUERY;
                try {
                    client.QueryThroughService(request);
                } catch (const ServiceReplyError& error) {
                    request.ErrorText = error.what();
                }
                if (!request.ErrorText.empty() || request.Items.size() != expected) {
                    if (failed++ == 0) {
                        std::cerr << "first failure: " << request.ErrorText << " ("
                                  << request.Items.size() << " rows)\n";
                    }
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (failed > 0) {
        std::cerr << failed << " of " << requests << " requests failed\n";
    }
    return requests / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 5000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 7;
    const std::string ip = argc > 3 ? argv[3] : "127.0.0.99";
    const int clients = argc > 4 ? std::atoi(argv[4]) : 200;
    const int requests = argc > 5 ? std::atoi(argv[5]) : 4000;

    std::string reason;
    if (!SambaSandbox::CanRun(&reason)) {
        std::cerr << "cannot run a private Samba server: " << reason << "\n";
        return 1;
    }
    SambaSandbox sandbox(ip);
    if (!sandbox.ok()) {
        std::cerr << sandbox.error() << "\n";
        return 1;
    }
    ServiceProcess service(
        ip, SERVICE_PORT,
        "samba_server = " + ip + "\ncredentials_file = " + sandbox.adminCredentials() + "\n");
    if (!service.ok()) {
        std::cerr << service.error() << "\n";
        return 1;
    }
    std::string error;
    auto netFiles = MakeNetFileApi(NetCredentials{sandbox.adminCredentials()}, &error);
    if (!netFiles) {
        std::cerr << error << "\n";
        return 1;
    }
    TmodPQ modPQ(
        std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
        std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>()));

    std::cout << std::fixed << std::setprecision(3);
    {
        std::cout << "holding " << files << " files open..." << std::flush;
        FileHolder holder(sandbox, sandbox.userCredentials(), {}, files);
        if (!holder.ok()) {
            std::cerr << "\n" << holder.error() << "\n";
            return 1;
        }
        std::cout << " done\n";
        const std::string path = sandbox.uncRoot() + "\\bench";
        // The first calls start Samba's RPC daemon and open the connections; not timed.
        TimedCheck(modPQ, path, 1, 0, files);
        TimedCheck(modPQ, path, 0, 1, files);
        std::vector<double> direct;
        std::vector<double> through;
        for (int i = 0; i < repetitions; ++i) {
            direct.push_back(TimedCheck(modPQ, path, 1, 0, files));
            through.push_back(TimedCheck(modPQ, path, 0, 1, files));
        }
        if (*std::min_element(direct.begin(), direct.end()) < 0 ||
            *std::min_element(through.begin(), through.end()) < 0) {
            return 1;
        }
        std::cout << "check of " << files << " open files, median of " << repetitions << ":\n"
                  << "  direct          " << Median(direct) << " s\n"
                  << "  through service " << Median(through) << " s\n"
                  << "  ratio           " << Median(through) / Median(direct) << "\n";
    }

    // Small queries: a few files open, many clients at once.
    FileHolder few(sandbox, sandbox.userCredentials(),
                   {"r:readme.txt", "w:reports/q1.xls", "r:reports/q2.xls"});
    if (!few.ok()) {
        std::cerr << few.error() << "\n";
        return 1;
    }
    Throughput(ip, SERVICE_PORT, "data", "reports", clients, clients, 2);  // warm-up
    const double samba = Throughput(ip, SERVICE_PORT, "data", "reports", clients, requests, 2);
    std::cout << "small queries (2 rows), " << clients << " concurrent clients, " << requests
              << " requests:\n"
              << "  against Samba             " << std::setprecision(0) << samba << " /s\n";
    // Typed in another case: the share (case-insensitive) opens "reports", which only the
    // server can tell, so the service asks it (one call for the requests waiting together,
    // kept for a few seconds).
    const double typedOtherwise =
        Throughput(ip, SERVICE_PORT, "data", "REPORTS", clients, requests, 2);
    std::cout << "  typed as REPORTS          " << typedOtherwise << " /s\n";

    ServiceProcess canned(ip, SERVICE_PORT + 1, "", {"--canned-engine", "2"});
    if (!canned.ok()) {
        std::cerr << canned.error() << "\n";
        return 1;
    }
    const double own = Throughput(ip, SERVICE_PORT + 1, "data", "reports", clients, requests, 2);
    std::cout << "  against the stand-in server " << own << " /s (the service's own cost)\n"
              << "  ratio                     " << std::setprecision(2) << samba / own << "\n";
    return 0;
}
