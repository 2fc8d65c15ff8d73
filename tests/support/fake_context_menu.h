#pragma once

#include <string>
#include <vector>

#include "platform/context_menu.h"

namespace pellquin::test {

// Records "Install <executable>" and "Remove"; Install answers `installResult`, Warning
// `warning`.
class FakeContextMenu : public ContextMenu {
public:
    std::vector<std::string> calls;
    bool installResult = true;
    std::string warning;

    bool Install(const std::string& executable) override {
        calls.push_back("Install " + executable);
        return installResult;
    }
    std::string Warning() const override { return warning; }
    void Remove() override { calls.push_back("Remove"); }
};

}  // namespace pellquin::test
