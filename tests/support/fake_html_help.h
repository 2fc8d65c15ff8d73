#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/html_help.h"

namespace pellquin::test {

// A help viewer that records what it was asked to show.
class FakeHtmlHelp : public HtmlHelp {
public:
    struct Shown {
        std::string helpFile;
        uint32_t command;
        int32_t data;
    };

    std::string fileName = "Pellquin.chm";
    bool loadResult = true;
    int loads = 0;
    std::vector<Shown> shown;

    bool Load() override {
        ++loads;
        return loadResult;
    }
    void Show(const std::string& helpFile, uint32_t command, int32_t data) override {
        shown.push_back({helpFile, command, data});
    }
    std::string FileName() const override { return fileName; }
};

}  // namespace pellquin::test
