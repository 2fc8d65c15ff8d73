// Times a check of a share with many open files: pellquin-cli against Samba's own
// `net rpc file`, in the same run, on a private server.
//
//   netfiles_bench PELLQUIN_CLI [FILES=5000] [REPETITIONS=7] [IP=127.0.0.9]
//
// Needs root (the private server). Prints each tool's median wall time and their ratio.
#include <algorithm>
#include <chrono>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "file_holder.h"
#include "run_program.h"
#include "samba_sandbox.h"

namespace {

using pellquin::test::FileHolder;
using pellquin::test::ProgramResult;
using pellquin::test::RunProgram;
using pellquin::test::SambaSandbox;

size_t CountGenerated(const std::string& out) {
    size_t count = 0;
    for (size_t at = out.find("gen-"); at != std::string::npos; at = out.find("gen-", at + 1)) {
        ++count;
    }
    return count;
}

// Runs the command; returns its wall time in seconds, or a negative value when it failed or
// did not list `expected` generated files.
double Timed(const std::vector<std::string>& argv, size_t expected) {
    const auto start = std::chrono::steady_clock::now();
    const ProgramResult result = RunProgram(argv);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t listed = CountGenerated(result.out);
    if (result.exitCode != 0 || listed != expected) {
        std::cerr << argv[0] << " exited " << result.exitCode << " listing " << listed << " of "
                  << expected << " files: " << result.err.substr(0, 400) << "\n";
        return -1;
    }
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: netfiles_bench PELLQUIN_CLI [FILES] [REPETITIONS] [IP]\n";
        return 2;
    }
    const std::string cli = argv[1];
    const size_t files = argc > 2 ? std::stoul(argv[2]) : 5000;
    const int repetitions = argc > 3 ? std::stoi(argv[3]) : 7;
    const std::string ip = argc > 4 ? argv[4] : "127.0.0.9";
    std::string reason;
    if (!SambaSandbox::CanRun(&reason)) {
        std::cerr << "netfiles_bench: " << reason << "\n";
        return 1;
    }

    SambaSandbox sandbox(ip);
    if (!sandbox.ok()) {
        std::cerr << "netfiles_bench: " << sandbox.error() << "\n";
        return 1;
    }
    const auto openStart = std::chrono::steady_clock::now();
    FileHolder holder(sandbox, sandbox.userCredentials(), {}, files);
    if (!holder.ok()) {
        std::cerr << "netfiles_bench: " << holder.error() << "\n";
        return 1;
    }
    const double openSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - openStart).count();

    const std::vector<std::string> pellquin = {cli, "--credentials", sandbox.adminCredentials(),
                                               "check", sandbox.uncRoot()};
    const std::vector<std::string> peer = {
        "net",
        "rpc",
        "file",
        "-S",
        ip,
        "-U",
        std::string(SambaSandbox::ADMIN_USER) + "%" + SambaSandbox::ADMIN_PASSWORD};

    // The first RPC starts samba-dcerpcd on the server; keep that out of both figures.
    if (Timed(peer, files) < 0 || Timed(pellquin, files) < 0) {
        return 1;
    }
    std::vector<double> pellquinTimes;
    std::vector<double> peerTimes;
    for (int i = 0; i < repetitions; ++i) {
        // Alternate the order so that neither tool always runs on a server just woken.
        const double a = i % 2 == 0 ? Timed(pellquin, files) : Timed(peer, files);
        const double b = i % 2 == 0 ? Timed(peer, files) : Timed(pellquin, files);
        if (a < 0 || b < 0) {
            return 1;
        }
        pellquinTimes.push_back(i % 2 == 0 ? a : b);
        peerTimes.push_back(i % 2 == 0 ? b : a);
    }
    const double pellquinMedian = Median(pellquinTimes);
    const double peerMedian = Median(peerTimes);
    std::cout << std::fixed << std::setprecision(3) << "open files:          " << files
              << " (held by one connection, opened in " << openSeconds << " s)\n"
              << "repetitions:         " << repetitions << "\n"
              << "pellquin-cli check:  median " << pellquinMedian << " s\n"
              << "net rpc file:        median " << peerMedian << " s\n"
              << "ratio pellquin/net:  " << std::setprecision(2) << pellquinMedian / peerMedian
              << "\n";
    return 0;
}
