#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/service_files.h"

namespace pellquin::test {

// The real files adapter, except that the program to install lies in a test directory.
class FilesBesideTestProgram : public ServiceFiles {
public:
    FilesBesideTestProgram(std::unique_ptr<ServiceFiles> real, std::string programDirectory)
        : m_real(std::move(real)), m_programDirectory(std::move(programDirectory)) {}
    std::string SystemDirectory() override { return m_real->SystemDirectory(); }
    std::string ProgramDirectory() override { return m_programDirectory; }
    std::string ServiceProgramName() override { return m_real->ServiceProgramName(); }
    uint32_t Copy(const std::string& source, const std::string& destination) override {
        return m_real->Copy(source, destination);
    }
    bool IsFile(const std::string& path) override { return m_real->IsFile(path); }
    void Delete(const std::string& path) override { m_real->Delete(path); }
    bool OwnPlacement() override { return m_real->OwnPlacement(); }
    ServicePlacement Placement(const std::string& machine) override {
        return m_real->Placement(machine);
    }
    std::string LogPath(const std::string& machine) override { return m_real->LogPath(machine); }
    uint32_t Configure(const std::string& machine, std::vector<std::string>* notes) override {
        return m_real->Configure(machine, notes);
    }
    std::string LastFailureDetail() override { return m_real->LastFailureDetail(); }

private:
    std::unique_ptr<ServiceFiles> m_real;
    std::string m_programDirectory;
};

}  // namespace pellquin::test
