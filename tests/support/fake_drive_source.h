#pragma once

#include <vector>

#include "platform/drive_source.h"

namespace pellquin::test {

// Serves `drives` as they are; counts the scans.
class FakeDriveSource : public DriveSource {
public:
    std::vector<DriveInfo> drives;
    int scans = 0;

    std::vector<DriveInfo> Drives() override {
        ++scans;
        return drives;
    }
};

}  // namespace pellquin::test
