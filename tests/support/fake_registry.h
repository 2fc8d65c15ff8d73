#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace pellquin::test {

// An in-memory registry with the access, type and handle rules of the real one. Records
// every call as a line of text and can be scripted to fail any of them:
//   "Create HKEY_CURRENT_USER\Software\Morrowfen\Pellquin\Options 0xf003f"
//   "Open HKEY_CLASSES_ROOT\*\Shell 0x20006"
//   "Query NumFavourites", "Set PickList0", "DeleteValue X", "DeleteKey command", "Close"
// Key paths and value names keep the caller's spelling in the record.
class FakeRegistry : public Registry {
public:
    struct Value {
        uint32_t type = kRegNone;
        std::string data;
    };

    std::vector<std::string> calls;
    // Calls that fail with the given code, matched against the record without the access
    // mask ("Set DirectOnly", "Open HKEY_CURRENT_USER\Software\Morrowfen\Pellquin\PickList").
    std::map<std::string, uint32_t> failures;

    void PutKey(RegistryRoot root, const std::string& path);
    void Put(RegistryRoot root, const std::string& path, const std::string& name, uint32_t type,
             const std::string& data);
    void PutDword(RegistryRoot root, const std::string& path, const std::string& name,
                  uint32_t value);
    void PutString(RegistryRoot root, const std::string& path, const std::string& name,
                   const std::string& text);

    bool HasKey(RegistryRoot root, const std::string& path) const;
    std::optional<Value> Get(RegistryRoot root, const std::string& path,
                             const std::string& name) const;
    // The value as a DWORD; nullopt when missing or of another type.
    std::optional<uint32_t> GetDword(RegistryRoot root, const std::string& path,
                                     const std::string& name) const;
    // Handles opened and not yet closed.
    size_t OpenHandles() const { return m_handles.size(); }

    uint32_t CreateKey(RegistryRoot root, const std::string& path, uint32_t access,
                       RegistryHandle* key) override;
    uint32_t OpenKey(RegistryRoot root, const std::string& path, uint32_t access,
                     RegistryHandle* key) override;
    uint32_t QueryValue(RegistryHandle key, const std::string& name, uint32_t* type,
                        std::string* data) override;
    uint32_t SetValue(RegistryHandle key, const std::string& name, uint32_t type,
                      const std::string& data) override;
    uint32_t DeleteValue(RegistryHandle key, const std::string& name) override;
    uint32_t DeleteKey(RegistryHandle key, const std::string& subKey) override;
    uint32_t CloseKey(RegistryHandle key) override;

private:
    struct Opened {
        RegistryRoot root;
        std::string folded;
        uint32_t access;
    };
    using KeyId = std::pair<RegistryRoot, std::string>;  // folded path

    // Records the call; returns the scripted failure, or 0.
    uint32_t Record(const std::string& call, const std::string& suffix = std::string());
    const Opened* Find(RegistryHandle key, uint32_t needed, uint32_t* status) const;

    std::map<KeyId, std::map<std::string, Value>> m_keys;  // values by folded name
    std::map<RegistryHandle, Opened> m_handles;
    RegistryHandle m_next = 1;
};

}  // namespace pellquin::test
