#include "app/net_files_start.h"

#include <string>

namespace pellquin {

std::unique_ptr<NetFileApi> StartNetFiles(Prompts& prompts) {
    std::string error;
    if (auto api = MakeNetFileApi(NetCredentials{}, &error)) {
        return api;
    }
    const std::string firstError = error;
    NetCredentials withoutFile;
    withoutFile.withoutFile = true;
    auto api = MakeNetFileApi(withoutFile, &error);
    if (!api) {
        // The file was not the cause (or not the only one): the first fault is the one to mend.
        prompts.ShowError(firstError);
        return nullptr;
    }
    prompts.ShowError(firstError + "\r\n\r\nPellquin carries on without the credentials file.");
    return api;
}

}  // namespace pellquin
