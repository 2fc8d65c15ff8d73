#include "fake_net_file_api.h"

namespace pellquin::test {

uint32_t FakeNetFileApi::ShareGetInfo(const std::string& server, const std::string& share,
                                      std::string* folder) {
    shareCalls.push_back({server, share});
    if (shareResult != 0) {
        return shareResult;
    }
    const auto it = shareFolders.find(share);
    if (it == shareFolders.end()) {
        return unknownShareResult;
    }
    *folder = it->second;
    return 0;
}

uint32_t FakeNetFileApi::FileEnum(const std::optional<std::string>& server,
                                  const std::string& basePath, uint32_t* resumeHandle,
                                  std::vector<OpenFileEntry>* entries) {
    enumCalls.push_back({server, basePath, *resumeHandle});
    if (rounds.empty()) {
        return 0;
    }
    Round round = std::move(rounds.front());
    rounds.pop_front();
    if (round.result == 0 || round.result == NET_MORE_DATA) {
        entries->insert(entries->end(), round.entries.begin(), round.entries.end());
        *resumeHandle += static_cast<uint32_t>(round.entries.size());
    }
    return round.result;
}

std::string FakeNetFileApi::ReportedBasePath(const std::optional<std::string>& /*server*/,
                                             const std::string& basePath) {
    const auto it = reportedBasePaths.find(basePath);
    return it == reportedBasePaths.end() ? basePath : it->second;
}

std::string FakeNetFileApi::NameOnServer(const std::string& /*server*/,
                                         const std::string& /*share*/, const std::string& path) {
    const auto it = namesOnServer.find(path);
    return it == namesOnServer.end() ? path : it->second;
}

bool FakeNetFileApi::ReportsExactNames(const std::optional<std::string>& /*server*/) {
    return exactNames;
}

uint32_t FakeNetFileApi::FileClose(const std::optional<std::string>& server, uint32_t id) {
    closeCalls.push_back({server, id});
    const auto it = closeResults.find(id);
    return it == closeResults.end() ? closeResult : it->second;
}

}  // namespace pellquin::test
