#include "canned_net_file_api.h"

#include <chrono>
#include <thread>

namespace pellquin {

CannedNetFileApi::CannedNetFileApi(uint32_t rows, uint32_t delayMs)
    : m_rows(rows), m_delayMs(delayMs) {}

uint32_t CannedNetFileApi::ShareGetInfo(const std::string& /*server*/, const std::string& share,
                                        std::string* folder) {
    *folder = "C:\\srv\\" + share;
    return 0;
}

uint32_t CannedNetFileApi::FileEnum(const std::optional<std::string>& /*server*/,
                                    const std::string& basePath, uint32_t* /*resumeHandle*/,
                                    std::vector<OpenFileEntry>* entries) {
    if (m_delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_delayMs));
    }
    std::string prefix = basePath;
    if (!prefix.empty() && prefix.back() != '\\') {
        prefix += '\\';
    }
    for (uint32_t i = 1; i <= m_rows; ++i) {
        entries->push_back(
            OpenFileEntry{i, 1, 0, prefix + "file" + std::to_string(i) + ".txt", "holder"});
    }
    return 0;
}

uint32_t CannedNetFileApi::FileClose(const std::optional<std::string>& /*server*/, uint32_t id) {
    return id >= 1 && id <= m_rows ? 0 : 2;
}

}  // namespace pellquin
