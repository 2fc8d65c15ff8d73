#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/path_probe.h"

namespace pellquin::test {

// Paths that exist, by kind; everything else does not. Records every path asked about.
class FakePathProbe : public PathProbe {
public:
    std::set<std::string> files;
    std::set<std::string> directories;
    std::vector<std::string> calls;
    ProbeDoubt doubt;  // what LastDoubt() answers

    bool IsFile(const std::string& path) override {
        calls.push_back(path);
        return files.count(path) != 0;
    }
    bool IsDirectory(const std::string& path) override {
        calls.push_back(path);
        return directories.count(path) != 0;
    }
    ProbeDoubt LastDoubt() const override { return doubt; }
};

}  // namespace pellquin::test
