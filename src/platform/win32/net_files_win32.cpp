#include <windows.h>
// <lm.h> needs the types of <windows.h> first.
#include <lm.h>

#include "platform/net_file_api.h"

namespace pellquin {
namespace {

// The program's strings are in the ANSI code page; the network management calls take UTF-16.
std::wstring Wide(const std::string& text) {
    wchar_t buffer[256] = {};
    MultiByteToWideChar(CP_ACP, MB_COMPOSITE, text.c_str(), -1, buffer, 255);
    return buffer;
}

std::string Narrow(const wchar_t* text) {
    if (text == nullptr) {
        return std::string();
    }
    char buffer[256] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

// Windows servers page with ERROR_MORE_DATA themselves. The entries go back as the server sent
// them: a Samba server ignores the base path, and the engine keeps those under it.
class NetFilesWin32 : public NetFileApi {
public:
    uint32_t ShareGetInfo(const std::string& server, const std::string& share,
                          std::string* folder) override {
        const std::wstring serverName = Wide(server);
        const std::wstring shareName = Wide(share);
        LPBYTE buffer = nullptr;
        const NET_API_STATUS status =
            NetShareGetInfo(const_cast<wchar_t*>(serverName.c_str()),
                            const_cast<wchar_t*>(shareName.c_str()), 2, &buffer);
        if (status == NERR_Success && buffer != nullptr) {
            *folder = Narrow(reinterpret_cast<SHARE_INFO_2*>(buffer)->shi2_path);
        }
        if (buffer != nullptr) {
            NetApiBufferFree(buffer);
        }
        return status;
    }

    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override {
        const std::wstring serverName = server ? Wide(*server) : std::wstring();
        const std::wstring base = Wide(basePath);
        LPBYTE buffer = nullptr;
        DWORD read = 0;
        DWORD total = 0;
        DWORD_PTR resume = *resumeHandle;
        const NET_API_STATUS status =
            NetFileEnum(server ? const_cast<wchar_t*>(serverName.c_str()) : nullptr,
                        const_cast<wchar_t*>(base.c_str()), nullptr, 3, &buffer, 2000000, &read,
                        &total, &resume);
        *resumeHandle = static_cast<uint32_t>(resume);
        if ((status == NERR_Success || status == ERROR_MORE_DATA) && buffer != nullptr) {
            const auto* files = reinterpret_cast<const FILE_INFO_3*>(buffer);
            for (DWORD i = 0; i < read; ++i) {
                entries->push_back({files[i].fi3_id, files[i].fi3_permissions,
                                    files[i].fi3_num_locks, Narrow(files[i].fi3_pathname),
                                    Narrow(files[i].fi3_username)});
            }
        }
        if (buffer != nullptr) {
            NetApiBufferFree(buffer);
        }
        return status;
    }

    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override {
        const std::wstring serverName = server ? Wide(*server) : std::wstring();
        return NetFileClose(server ? const_cast<wchar_t*>(serverName.c_str()) : nullptr, id);
    }
};

}  // namespace

// Windows calls run as the logged-on user; the credentials file is a Linux notion.
std::unique_ptr<NetFileApi> MakeNetFileApi(const NetCredentials&, std::string*) {
    return std::make_unique<NetFilesWin32>();
}

}  // namespace pellquin
