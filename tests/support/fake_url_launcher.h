#pragma once

#include <string>
#include <vector>

#include "platform/url_launcher.h"

namespace pellquin::test {

// Records the addresses it was asked to open and opens none.
class FakeUrlLauncher : public UrlLauncher {
public:
    std::vector<std::string> opened;

    void Open(const std::string& address, uint64_t /*ownerWindow*/) override {
        opened.push_back(address);
    }
};

}  // namespace pellquin::test
