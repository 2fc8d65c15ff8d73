#pragma once

#include <string>
#include <vector>

#include "platform/drive_mapper.h"

namespace pellquin::test {

// A mapper with or without a system dialog; records the dialogs shown and the shares mapped
// and answers Missing and Map from its fields.
class FakeDriveMapper : public DriveMapper {
public:
    bool systemDialog = false;
    std::string missing;
    std::string mapError;
    int dialogs = 0;
    std::vector<std::string> mapped;

    bool ShowSystemDialog(uintptr_t /*ownerWindow*/) override {
        if (systemDialog) {
            ++dialogs;
        }
        return systemDialog;
    }
    std::string Missing() override { return missing; }
    std::string Map(const std::string& share) override {
        mapped.push_back(share);
        return mapError;
    }
};

}  // namespace pellquin::test
