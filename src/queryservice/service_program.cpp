#include "queryservice/service_program.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/process_identity.h"
#include "platform/system_directory.h"
#include "platform/system_info.h"
#include "platform/wire_text.h"
#include "queryservice/coalescing_net_file_api.h"
#include "queryservice/own_server_net_file_api.h"
#include "queryservice/query_server.h"
#include "queryservice/request_handler.h"
#include "queryservice/service_host.h"
#include "queryservice/service_log.h"

namespace pellquin {
namespace {

// The server being run, for the stop request that arrives on another thread.
class RunningServer {
public:
    void Set(QueryServer* server) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_server = server;
        if (m_server != nullptr && m_stopRequested) {
            m_server->Stop();
        }
    }
    void Stop() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopRequested = true;
        if (m_server != nullptr) {
            m_server->Stop();
        }
    }

private:
    std::mutex m_mutex;
    QueryServer* m_server = nullptr;
    bool m_stopRequested = false;
};

// Builds everything and serves until stopped. The network client is made here, after any
// detaching, because it may start threads of its own.
int Serve(const ServiceConfig& config, const EngineFactory& makeEngine, const ReadyReport& ready,
          RunningServer& running) {
    const std::string logDirectory =
        config.logDirectory.empty() ? SystemDirectory() : config.logDirectory;
    // The log directory must be the service's own: checked now, or, for a service that is to
    // run as another user (who then owns it), once it runs as that user.
    const auto logDirectoryAccepted = [&] {
        const std::string problem = ServiceLog::DirectoryProblem(logDirectory);
        if (!problem.empty()) {
            ready(false, "log directory " + problem);
        }
        return problem.empty();
    };
    if (config.runAsUser.empty() && !logDirectoryAccepted()) {
        return 1;
    }
    auto log = std::make_unique<ServiceLog>(logDirectory, config.logMaxBytes);
    ServiceLog* logView = log.get();

    std::string engineError;
    std::unique_ptr<NetFileApi> netFiles = makeEngine(config, &engineError);
    if (!netFiles) {
        logView->Note("cannot start: " + engineError);
        ready(false, engineError);
        return 1;
    }
    // The configuration was checked as it was read; this reports a converter that cannot be
    // made all the same.
    std::unique_ptr<WireText> wireText = MakeWireText(config.codePage, &engineError);
    if (!wireText) {
        logView->Note("cannot start: " + engineError);
        ready(false, engineError);
        return 1;
    }
    HandlerPolicy policy;
    policy.allowedClients = config.allowedClients;
    policy.refuseClose = config.refuseClose;
    auto handler = std::make_unique<RequestHandler>(
        std::make_unique<OwnServerNetFileApi>(std::move(netFiles), config.sambaServer),
        MakeSystemInfo(), std::move(wireText), std::move(policy), std::move(log));

    QueryServer server(config, std::move(handler));
    std::string error;
    if (!server.Listen(&error)) {
        logView->Note("cannot start: " + error);
        ready(false, error);
        return 1;
    }
    // The port is bound and the credentials are read (a re-made network context reuses
    // them): nothing left needs the rights the service was started with.
    if (!config.runAsUser.empty()) {
        if (!DropToUser(config.runAsUser, &error)) {
            logView->Note("cannot start: " + error);
            ready(false, error);
            return 1;
        }
        if (!logDirectoryAccepted()) {
            return 1;
        }
    }
    const std::string where = config.listenAddress + " port " + std::to_string(server.Port());
    if (!logView->Note("service started on " + where)) {
        std::fprintf(stderr, "PellquinService: cannot write the log %s\n",
                     logView->FilePath().c_str());
    }
    ready(true, where);
    running.Set(&server);
    server.Run(true);
    running.Set(nullptr);
    logView->Note("service stopped");
    return 0;
}

}  // namespace

std::unique_ptr<NetFileApi> MakeServiceNetFileApi(const ServiceConfig& config, std::string* error) {
    auto netFiles = MakeNetFileApi(NetCredentials{config.credentialsFile}, error);
    if (!netFiles) {
        return nullptr;
    }
    // Requests are answered on several threads; the network calls take one at a time, and
    // requests that arrive together share one enumeration.
    return std::make_unique<CoalescingNetFileApi>(std::move(netFiles));
}

int RunServiceProgram(const std::vector<std::string>& args, const EngineFactory& makeEngine) {
    ServiceOptions options;
    std::string error;
    if (!ParseServiceOptions(args, &options, &error)) {
        std::fprintf(stderr, "PellquinService: %s\n%s", error.c_str(), ServiceUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::printf("%s", ServiceUsage().c_str());
        return 0;
    }
    if (options.version) {
        std::printf("PellquinService " PELLQUIN_VERSION "\n");
        return 0;
    }
    ServiceConfig config;
    if (!LoadServiceConfig(options, &config, &error)) {
        std::fprintf(stderr, "PellquinService: %s\n", error.c_str());
        return 2;
    }
    RunningServer running;
    if (options.foreground) {
        return Serve(
            config, makeEngine,
            [](bool ok, const std::string& message) {
                if (ok) {
                    std::printf("PellquinService: listening on %s\n", message.c_str());
                } else {
                    std::fprintf(stderr, "PellquinService: %s\n", message.c_str());
                }
                std::fflush(stdout);
            },
            running);
    }
    return RunAsSystemService(
        [&config, &makeEngine, &running](const ReadyReport& ready) {
            return Serve(config, makeEngine, ready, running);
        },
        [&running] { running.Stop(); });
}

}  // namespace pellquin
