#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/log_viewer.h"
#include "platform/service_files.h"

namespace pellquin::test {

// Files as a set of paths, a Windows machine's directories, and every copy and deletion
// recorded as a line ("Copy(SRC -> DST)", "Delete(PATH)").
class FakeServiceFiles : public ServiceFiles {
public:
    std::string systemDirectory = "C:\\WINDOWS\\system32";
    std::string programDirectory = "C:\\Tools\\";
    std::string programName = "PellquinService.exe";
    std::set<std::string> files = {"C:\\Tools\\PellquinService.exe"};
    std::map<std::string, uint32_t> copyErrors;  // by destination
    std::vector<std::string> calls;

    std::string SystemDirectory() override { return systemDirectory; }
    std::string ProgramDirectory() override { return programDirectory; }
    std::string ServiceProgramName() override { return programName; }
    uint32_t Copy(const std::string& source, const std::string& destination) override {
        calls.push_back("Copy(" + source + " -> " + destination + ")");
        const auto error = copyErrors.find(destination);
        if (error != copyErrors.end()) {
            return error->second;
        }
        if (files.count(source) == 0) {
            return 2;
        }
        files.insert(destination);
        return 0;
    }
    bool IsFile(const std::string& path) override { return files.count(path) != 0; }
    void Delete(const std::string& path) override {
        calls.push_back("Delete(" + path + ")");
        files.erase(path);
    }
};

// Records the paths it was asked to show; `fails` makes the start fail.
class FakeLogViewer : public LogViewer {
public:
    bool fails = false;
    std::string name = "Notepad.exe";
    std::vector<std::string> opened;

    bool Open(const std::string& path) override {
        opened.push_back(path);
        return !fails;
    }
    std::string Name() override { return name; }
};

}  // namespace pellquin::test
