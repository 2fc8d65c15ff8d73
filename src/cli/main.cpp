// pellquin-cli: checks and closes open files from the command line, through the same engine
// as the desktop program.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_engine.h"
#include "cli/cli_options.h"
#include "platform/net_file_api.h"
#include "platform/registry.h"
#include "platform/smb_url.h"
#include "platform/system_info.h"
#include "platform/terminal.h"
#include "platform/universal_names.h"
#include "platform/wire_text.h"
#include "query/mod_pq.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "query/terminal_text.h"
#include "settings/settings_store.h"

namespace {

// Asks on the terminal; only "y" or "yes" goes on.
bool AskOnTerminal(const std::string& question) {
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pellquin;
    CliOptions options;
    const std::string problem =
        ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), &options);
    if (!problem.empty()) {
        std::cerr << "pellquin-cli: " << ForTerminal(problem) << "\n\n" << CliUsage();
        return 2;
    }
    if (options.command == CliOptions::Command::Help) {
        std::cout << CliUsage();
        return 0;
    }
    if (options.command == CliOptions::Command::Version) {
        std::cout << "pellquin-cli " PELLQUIN_VERSION "\n";
        return 0;
    }

    // File managers hand network folders over as smb:// URLs.
    options.path = PathFromTypedText(options.path);
    for (std::string& path : options.paths) {
        path = PathFromTypedText(path);
    }

    // The option wins over the user's setting, which the desktop program shares.
    std::string error;
    std::string codePageSource = "--codepage";
    if (!options.codePage) {
        const std::unique_ptr<Registry> registry = MakeRegistry();
        options.codePage = SettingsStore(*registry).LoadServiceCodePage();
        codePageSource = "the ServiceCodePage setting";
    }
    std::unique_ptr<WireText> wireText = MakeWireText(*options.codePage, &error);
    if (!wireText) {
        std::cerr << "pellquin-cli: " << codePageSource << ": " << ForTerminal(error) << "\n";
        return 2;
    }

    auto netFiles = MakeNetFileApi(NetCredentials{options.credentialsFile}, &error);
    if (!netFiles) {
        std::cerr << "pellquin-cli: " << ForTerminal(error) << "\n";
        return 1;
    }
    TmodPQ modPQ(std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
                 std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>(),
                                                 std::move(wireText)));
    ModPqCliEngine engine(modPQ, options.tryDirect, options.tryService);
    const std::unique_ptr<PollClock> clock = MakeSteadyPollClock();

    switch (options.command) {
        case CliOptions::Command::Check:
            if (options.watch) {
                // Until interrupted: the default action of SIGINT ends the program.
                return RunWatch(
                    options, engine, *clock, StdoutIsTerminal(), [] { return true; }, std::cout,
                    std::cerr);
            }
            return RunCheck(options, engine, std::cout, std::cerr);
        case CliOptions::Command::Close:
            return RunClose(options, engine, StdinIsTerminal() ? Confirm(AskOnTerminal) : Confirm(),
                            std::cout, std::cerr);
        case CliOptions::Command::Wait:
            return RunWait(options, engine, *clock, std::cout, std::cerr);
        default:
            return 2;
    }
}
