#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/net_file_api.h"
#include "queryservice/service_config.h"

namespace pellquin {

// Makes the file-server calls the service answers from. Called once, after any detaching,
// since the calls may start threads of their own; nullptr with *error (a text for the log and
// the starter) when they cannot start.
using EngineFactory =
    std::function<std::unique_ptr<NetFileApi>(const ServiceConfig& config, std::string* error)>;

// This system's network file calls as the configuration's credentials allow.
std::unique_ptr<NetFileApi> MakeServiceNetFileApi(const ServiceConfig& config, std::string* error);

// PellquinService's whole run over `args` (argv[0] excluded): the command line, the
// configuration file, then serving in the foreground or as this system's service. Returns
// the process's exit code: 2 for a bad command line or configuration.
int RunServiceProgram(const std::vector<std::string>& args, const EngineFactory& makeEngine);

}  // namespace pellquin
