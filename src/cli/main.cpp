// pellquin-cli: checks and closes open files from the command line, through the same engine
// as the desktop program.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "platform/net_file_api.h"
#include "platform/smb_url.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "query/mod_pq.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "query/terminal_text.h"

namespace {

// Texts from servers and services are hostile: shown with their controls escaped, and the
// engine's CR LF line breaks (as the desktop shows them) as a terminal's LF.
std::string ForTerminal(const std::string& text) {
    return pellquin::NeutralisedText(text, pellquin::TextUse::Message);
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

    std::string error;
    auto netFiles = MakeNetFileApi(NetCredentials{options.credentialsFile}, &error);
    if (!netFiles) {
        std::cerr << "pellquin-cli: " << ForTerminal(error) << "\n";
        return 1;
    }
    TmodPQ modPQ(std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
                 std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>()));

    try {
        if (options.command == CliOptions::Command::Check) {
            TPellquinRequest request;
            request.ClientPath = request.Path = options.path;
            request.RequestKind = REQUEST_QUERY;
            modPQ.QueryOpenFiles(request, options.tryDirect, options.tryService);
            if (!request.ErrorText.empty()) {
                std::cerr << ForTerminal(request.ErrorText) << "\n";
                return 1;
            }
            WriteRows(std::cout, request, options.serverRelative, options.format);
            return 0;
        }
        int status = 0;
        for (const uint32_t id : options.ids) {
            TPellquinRequest request;
            request.ClientPath = request.Path = options.path;
            request.RequestKind = REQUEST_CLOSE;
            request.FileId = id;
            modPQ.CloseOpenFile(request, options.tryDirect, options.tryService);
            if (!request.ErrorText.empty()) {
                std::cerr << static_cast<int32_t>(id) << ": " << ForTerminal(request.ErrorText)
                          << "\n";
                status = 1;
            } else {
                std::cout << "closed " << static_cast<int32_t>(id) << "\n";
            }
        }
        return status;
    } catch (const ServiceReplyError& failure) {
        std::cerr << ForTerminal(failure.what()) << "\n";
        return 1;
    }
}
