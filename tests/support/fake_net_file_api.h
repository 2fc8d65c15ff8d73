#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/net_file_api.h"

namespace pellquin::test {

// A scripted file server: records every call and answers from the script.
class FakeNetFileApi : public NetFileApi {
public:
    struct ShareCall {
        std::string server;
        std::string share;
    };
    struct EnumCall {
        std::optional<std::string> server;
        std::string basePath;
        uint32_t resumeHandle;
    };
    struct CloseCall {
        std::optional<std::string> server;
        uint32_t id;
    };
    struct Round {
        uint32_t result;
        std::vector<OpenFileEntry> entries;
    };

    // Share folders by share name; an unknown share answers `unknownShareResult`.
    std::map<std::string, std::string> shareFolders;
    uint32_t shareResult = 0;  // when non-zero, every share lookup fails with it
    uint32_t unknownShareResult = 2310;

    // Enumeration rounds served in order, whatever the base path (as a Samba server answers);
    // once they run out, a round of no entries and 0.
    std::deque<Round> rounds;
    // Base paths the server writes in another form, as a local path of this machine is named
    // by its own file server; unlisted ones are reported as given.
    std::map<std::string, std::string> reportedBasePaths;
    // The server's spelling of paths below a share, by the typed path; unlisted ones as typed.
    std::map<std::string, std::string> namesOnServer;
    bool exactNames = false;  // what ReportsExactNames answers
    // Close results by id; unlisted ids close with closeResult.
    std::map<uint32_t, uint32_t> closeResults;
    uint32_t closeResult = 0;

    std::vector<ShareCall> shareCalls;
    std::vector<EnumCall> enumCalls;
    std::vector<CloseCall> closeCalls;

    uint32_t ShareGetInfo(const std::string& server, const std::string& share,
                          std::string* folder) override;
    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override;
    std::string ReportedBasePath(const std::optional<std::string>& server,
                                 const std::string& basePath) override;
    std::string NameOnServer(const std::string& server, const std::string& share,
                             const std::string& path) override;
    bool ReportsExactNames(const std::optional<std::string>& server) override;
    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override;
};

}  // namespace pellquin::test
