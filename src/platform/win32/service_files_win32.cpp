#include <windows.h>

#include "platform/service_files.h"

namespace pellquin {
namespace {

class ServiceFilesWin32 : public ServiceFiles {
public:
    std::string SystemDirectory() override {
        char buffer[255] = {};
        const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
        return length == 0 || length >= sizeof buffer ? std::string() : std::string(buffer, length);
    }

    std::string ProgramDirectory() override {
        char buffer[MAX_PATH + 1] = {};
        const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return std::string();
        }
        const std::string program(buffer, length);
        return program.substr(0, program.find_last_of("\\/") + 1);
    }

    std::string ServiceProgramName() override { return "PellquinService.exe"; }

    uint32_t Copy(const std::string& source, const std::string& destination) override {
        return CopyFileA(source.c_str(), destination.c_str(), FALSE) ? 0 : GetLastError();
    }

    bool IsFile(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    void Delete(const std::string& path) override { DeleteFileA(path.c_str()); }
};

}  // namespace

std::unique_ptr<ServiceFiles> MakeServiceFiles(const std::string& /*credentialsFile*/) {
    return std::make_unique<ServiceFilesWin32>();
}

}  // namespace pellquin
