#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace pellquin {

// Names differ from the Win32 ones (REG_SZ, KEY_READ, ERROR_ACCESS_DENIED...) only because
// <windows.h> defines those as macros; the values are the Win32 values.

// Value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// Access masks.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;

// Status codes the adapters return.
constexpr uint32_t kRegSuccess = 0;
constexpr uint32_t kRegFileNotFound = 2;        // no such key or value
constexpr uint32_t kRegAccessDenied = 5;        // access mask or file rights refuse the call
constexpr uint32_t kRegInvalidHandle = 6;       // the key never opened, or was closed
constexpr uint32_t kRegInvalidParameter = 87;   // malformed key path (empty component)
constexpr uint32_t kRegKeyDeleted = 1018;       // the key was deleted after it was opened
constexpr uint32_t kRegIoFailed = 1016;         // the hive could not be written
constexpr uint32_t kRegUnsupportedType = 1630;  // a value exists but has the wrong type

enum class RegistryRoot { CurrentUser, ClassesRoot };

// "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT".
inline const char* RegistryRootName(RegistryRoot root) {
    return root == RegistryRoot::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

// An open key as the adapter knows it; 0 is never a valid key.
using RegistryHandle = uint64_t;

// The system registry: keys under a root, each holding named, typed values. Abstract so that
// settings code runs against an in-memory registry in tests and against a text hive on Linux.
// Calls mirror RegCreateKeyExA, RegOpenKeyExA, RegQueryValueExA, RegSetValueExA,
// RegDeleteValueA, RegDeleteKeyA and RegCloseKey, and return their Win32 status codes.
// Key paths are relative to the root, components separated by one backslash, no leading
// backslash; key and value names compare without regard to ASCII case. The empty value name
// is the key's default value.
class Registry {
public:
    virtual ~Registry() = default;

    // Opens `path`, creating it and any missing key above it. The access mask limits what
    // the handle may do later, not whether the key is created.
    virtual uint32_t CreateKey(RegistryRoot root, const std::string& path, uint32_t access,
                               RegistryHandle* key) = 0;

    // Opens an existing key; kRegFileNotFound when it does not exist. *key is left 0 on failure.
    virtual uint32_t OpenKey(RegistryRoot root, const std::string& path, uint32_t access,
                             RegistryHandle* key) = 0;

    // Needs kKeyQueryValue. String types (kRegSz, kRegExpandSz) come back as their text
    // without the terminating NUL, kRegDword as four little-endian bytes, anything else as
    // the stored bytes.
    virtual uint32_t QueryValue(RegistryHandle key, const std::string& name, uint32_t* type,
                                std::string* data) = 0;

    // Needs kKeySetValue. `data` in the form QueryValue returns it.
    virtual uint32_t SetValue(RegistryHandle key, const std::string& name, uint32_t type,
                              const std::string& data) = 0;

    // Needs kKeySetValue; kRegFileNotFound when there is no such value.
    virtual uint32_t DeleteValue(RegistryHandle key, const std::string& name) = 0;

    // Deletes the subkey `subKey` of `key`; it must have no subkeys of its own (else
    // kRegAccessDenied), as RegDeleteKeyA on Windows NT.
    virtual uint32_t DeleteKey(RegistryHandle key, const std::string& subKey) = 0;

    virtual uint32_t CloseKey(RegistryHandle key) = 0;
};

// A key handle that closes itself, so that every way out of a registry operation closes the
// key. A key that did not open stays usable: every call on it fails with kRegInvalidHandle,
// as a call on an unopened HKEY would.
class RegistryKey {
public:
    explicit RegistryKey(Registry& registry) : m_registry(&registry) {}
    ~RegistryKey() { Close(); }
    RegistryKey(RegistryKey&& other) noexcept
        : m_registry(other.m_registry), m_handle(std::exchange(other.m_handle, 0)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            Close();
            m_registry = other.m_registry;
            m_handle = std::exchange(other.m_handle, 0);
        }
        return *this;
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    uint32_t Create(RegistryRoot root, const std::string& path, uint32_t access) {
        Close();
        return m_registry->CreateKey(root, path, access, &m_handle);
    }
    uint32_t Open(RegistryRoot root, const std::string& path, uint32_t access) {
        Close();
        return m_registry->OpenKey(root, path, access, &m_handle);
    }
    uint32_t QueryValue(const std::string& name, uint32_t* type, std::string* data) {
        return m_registry->QueryValue(m_handle, name, type, data);
    }
    uint32_t SetValue(const std::string& name, uint32_t type, const std::string& data) {
        return m_registry->SetValue(m_handle, name, type, data);
    }
    uint32_t DeleteValue(const std::string& name) {
        return m_registry->DeleteValue(m_handle, name);
    }
    uint32_t DeleteKey(const std::string& subKey) {
        return m_registry->DeleteKey(m_handle, subKey);
    }
    uint32_t Close() {
        const RegistryHandle handle = std::exchange(m_handle, 0);
        return handle == 0 ? kRegSuccess : m_registry->CloseKey(handle);
    }
    bool IsOpen() const { return m_handle != 0; }

private:
    Registry* m_registry;
    RegistryHandle m_handle = 0;
};

// This system's registry. On Linux: text hives under $XDG_CONFIG_HOME/pellquin (default
// ~/.config/pellquin).
std::unique_ptr<Registry> MakeRegistry();

}  // namespace pellquin
