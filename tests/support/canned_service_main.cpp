// PellquinService for load tests and benchmarks of the service itself: the shipped program,
// plus --canned-engine ROWS[:DELAY_MS] to answer from a stand-in file server. Installed
// nowhere.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "canned_engine_option.h"
#include "canned_net_file_api.h"
#include "queryservice/service_program.h"

int main(int argc, char** argv) {
    using namespace pellquin;
    std::vector<std::string> args(argv + 1, argv + argc);
    test::CannedEngineOption canned;
    std::string error;
    if (!test::TakeCannedEngineOption(&args, &canned, &error)) {
        std::fprintf(stderr, "PellquinService: %s\n%s", error.c_str(), ServiceUsage().c_str());
        return 2;
    }
    if (!canned.given) {
        return RunServiceProgram(args, MakeServiceNetFileApi);
    }
    return RunServiceProgram(args, [canned](const ServiceConfig&, std::string*) {
        return std::make_unique<CannedNetFileApi>(canned.rows, canned.delayMs);
    });
}
