#pragma once

#include <cstdint>

#include "platform/net_file_api.h"

namespace pellquin {

// A stand-in file server for load tests and benchmarks of the service itself: every share
// lives at "C:\srv\<share>", `rows` files are open under whatever base path is asked, and
// each enumeration takes `delayMs`. Ids 1..rows close with success, others with code 2.
class CannedNetFileApi : public NetFileApi {
public:
    CannedNetFileApi(uint32_t rows, uint32_t delayMs);

    uint32_t ShareGetInfo(const std::string& server, const std::string& share,
                          std::string* folder) override;
    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override;
    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override;

private:
    uint32_t m_rows;
    uint32_t m_delayMs;
};

}  // namespace pellquin
