// The registry on Windows: the Win32 calls, one for one.

#include <windows.h>

#include <vector>

#include "platform/registry.h"

namespace pellquin {
namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

HKEY ToKey(RegistryHandle handle) {
    return reinterpret_cast<HKEY>(static_cast<uintptr_t>(handle));
}

RegistryHandle ToHandle(HKEY key) {
    return static_cast<RegistryHandle>(reinterpret_cast<uintptr_t>(key));
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

class RegistryWin32 : public Registry {
public:
    uint32_t CreateKey(RegistryRoot root, const std::string& path, uint32_t access,
                       RegistryHandle* key) override {
        HKEY opened = nullptr;
        DWORD disposition = 0;
        const LONG status = RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, 0, access,
                                            nullptr, &opened, &disposition);
        *key = status == ERROR_SUCCESS ? ToHandle(opened) : 0;
        return static_cast<uint32_t>(status);
    }

    uint32_t OpenKey(RegistryRoot root, const std::string& path, uint32_t access,
                     RegistryHandle* key) override {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExA(RootKey(root), path.c_str(), 0, access, &opened);
        *key = status == ERROR_SUCCESS ? ToHandle(opened) : 0;
        return static_cast<uint32_t>(status);
    }

    uint32_t QueryValue(RegistryHandle key, const std::string& name, uint32_t* type,
                        std::string* data) override {
        if (key == 0) {
            return ERROR_INVALID_HANDLE;
        }
        DWORD valueType = REG_NONE;
        DWORD size = 0;
        LONG status =
            RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &valueType, nullptr, &size);
        std::vector<BYTE> buffer;
        // The value may grow between the two calls; ask again until it fits.
        while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            buffer.resize(size + 1);
            size = static_cast<DWORD>(buffer.size());
            status = RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &valueType, buffer.data(),
                                      &size);
            if (status == ERROR_SUCCESS) {
                break;
            }
        }
        if (status != ERROR_SUCCESS) {
            return static_cast<uint32_t>(status);
        }
        data->assign(reinterpret_cast<const char*>(buffer.data()), size);
        // Strings are usually, not always, stored with their NUL.
        if (IsStringType(valueType) && !data->empty() && data->back() == '\0') {
            data->pop_back();
        }
        *type = valueType;
        return ERROR_SUCCESS;
    }

    uint32_t SetValue(RegistryHandle key, const std::string& name, uint32_t type,
                      const std::string& data) override {
        if (key == 0) {
            return ERROR_INVALID_HANDLE;
        }
        const std::string bytes = IsStringType(type) ? data + '\0' : data;
        return static_cast<uint32_t>(RegSetValueExA(ToKey(key), name.c_str(), 0, type,
                                                    reinterpret_cast<const BYTE*>(bytes.data()),
                                                    static_cast<DWORD>(bytes.size())));
    }

    uint32_t DeleteValue(RegistryHandle key, const std::string& name) override {
        if (key == 0) {
            return ERROR_INVALID_HANDLE;
        }
        return static_cast<uint32_t>(RegDeleteValueA(ToKey(key), name.c_str()));
    }

    uint32_t DeleteKey(RegistryHandle key, const std::string& subKey) override {
        if (key == 0) {
            return ERROR_INVALID_HANDLE;
        }
        return static_cast<uint32_t>(RegDeleteKeyA(ToKey(key), subKey.c_str()));
    }

    uint32_t CloseKey(RegistryHandle key) override {
        if (key == 0) {
            return ERROR_INVALID_HANDLE;
        }
        return static_cast<uint32_t>(RegCloseKey(ToKey(key)));
    }
};

}  // namespace

std::unique_ptr<Registry> MakeRegistry() {
    return std::make_unique<RegistryWin32>();
}

}  // namespace pellquin
