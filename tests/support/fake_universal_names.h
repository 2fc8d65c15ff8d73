#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/universal_names.h"

namespace pellquin::test {

// Mapped drives by prefix ("F:" -> "\\srv\data"); every other path is local unless
// `failure` is set, which every call then returns.
class FakeUniversalNames : public UniversalNames {
public:
    std::map<std::string, std::string> mappedDrives;
    uint32_t failure = 0;
    std::vector<std::string> calls;

    uint32_t GetUniversalName(const std::string& localPath, std::string* unc) override {
        calls.push_back(localPath);
        if (failure != 0) {
            return failure;
        }
        for (const auto& [drive, root] : mappedDrives) {
            if (localPath.compare(0, drive.size(), drive) == 0) {
                *unc = root + localPath.substr(drive.size());
                return 0;
            }
        }
        return kErrorNotConnected;
    }
};

}  // namespace pellquin::test
