#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/error_codes.h"

namespace pellquin {

// Maps a path on a redirected drive (Windows) or a network mount (Linux) to its UNC name.
// Abstract so that tests can script which paths are mapped.
class UniversalNames {
public:
    virtual ~UniversalNames() = default;

    // Returns 0 and sets *unc to "\\server\share\rest" when `localPath` lies on a network
    // share; kErrorNotConnected when it is a local path; any other code is a failure.
    virtual uint32_t GetUniversalName(const std::string& localPath, std::string* unc) = 0;
};

// This system's universal-name lookup.
std::unique_ptr<UniversalNames> MakeUniversalNames();

}  // namespace pellquin
