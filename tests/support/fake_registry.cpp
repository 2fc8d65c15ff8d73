#include "fake_registry.h"

#include <cstdio>

namespace pellquin::test {
namespace {

std::string Fold(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

}  // namespace

void FakeRegistry::PutKey(RegistryRoot root, const std::string& path) {
    // Every key above exists as well, as in the real registry.
    for (size_t end = path.find('\\'); end != std::string::npos; end = path.find('\\', end + 1)) {
        m_keys[{root, Fold(path.substr(0, end))}];
    }
    m_keys[{root, Fold(path)}];
}

void FakeRegistry::Put(RegistryRoot root, const std::string& path, const std::string& name,
                       uint32_t type, const std::string& data) {
    PutKey(root, path);
    m_keys[{root, Fold(path)}][Fold(name)] = Value{type, data};
}

void FakeRegistry::PutDword(RegistryRoot root, const std::string& path, const std::string& name,
                            uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) {
        data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    Put(root, path, name, kRegDword, data);
}

void FakeRegistry::PutString(RegistryRoot root, const std::string& path, const std::string& name,
                             const std::string& text) {
    Put(root, path, name, kRegSz, text);
}

bool FakeRegistry::HasKey(RegistryRoot root, const std::string& path) const {
    return path.empty() || m_keys.count({root, Fold(path)}) != 0;
}

std::optional<FakeRegistry::Value> FakeRegistry::Get(RegistryRoot root, const std::string& path,
                                                     const std::string& name) const {
    const auto key = m_keys.find({root, Fold(path)});
    if (key == m_keys.end()) {
        return std::nullopt;
    }
    const auto value = key->second.find(Fold(name));
    if (value == key->second.end()) {
        return std::nullopt;
    }
    return value->second;
}

std::optional<uint32_t> FakeRegistry::GetDword(RegistryRoot root, const std::string& path,
                                               const std::string& name) const {
    const auto value = Get(root, path, name);
    if (!value || value->type != kRegDword || value->data.size() != 4) {
        return std::nullopt;
    }
    uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | static_cast<unsigned char>(value->data[i]);
    }
    return bits;
}

uint32_t FakeRegistry::Record(const std::string& call, const std::string& suffix) {
    calls.push_back(suffix.empty() ? call : call + " " + suffix);
    const auto it = failures.find(call);
    return it == failures.end() ? kRegSuccess : it->second;
}

const FakeRegistry::Opened* FakeRegistry::Find(RegistryHandle key, uint32_t needed,
                                               uint32_t* status) const {
    const auto it = m_handles.find(key);
    if (it == m_handles.end()) {
        *status = kRegInvalidHandle;
        return nullptr;
    }
    if ((it->second.access & needed) != needed) {
        *status = kRegAccessDenied;
        return nullptr;
    }
    if (!it->second.folded.empty() && m_keys.count({it->second.root, it->second.folded}) == 0) {
        *status = kRegKeyDeleted;
        return nullptr;
    }
    *status = kRegSuccess;
    return &it->second;
}

uint32_t FakeRegistry::CreateKey(RegistryRoot root, const std::string& path, uint32_t access,
                                 RegistryHandle* key) {
    *key = 0;
    const std::string target = std::string(RegistryRootName(root)) + "\\" + path;
    if (const uint32_t failure = Record("Create " + target, Hex(access))) {
        return failure;
    }
    PutKey(root, path);
    *key = m_next++;
    m_handles[*key] = Opened{root, Fold(path), access};
    return kRegSuccess;
}

uint32_t FakeRegistry::OpenKey(RegistryRoot root, const std::string& path, uint32_t access,
                               RegistryHandle* key) {
    *key = 0;
    const std::string target = std::string(RegistryRootName(root)) + "\\" + path;
    if (const uint32_t failure = Record("Open " + target, Hex(access))) {
        return failure;
    }
    if (!HasKey(root, path)) {
        return kRegFileNotFound;
    }
    *key = m_next++;
    m_handles[*key] = Opened{root, Fold(path), access};
    return kRegSuccess;
}

uint32_t FakeRegistry::QueryValue(RegistryHandle key, const std::string& name, uint32_t* type,
                                  std::string* data) {
    if (const uint32_t failure = Record("Query " + name)) {
        return failure;
    }
    uint32_t status = kRegSuccess;
    const Opened* opened = Find(key, kKeyQueryValue, &status);
    if (opened == nullptr) {
        return status;
    }
    const auto& values = m_keys[{opened->root, opened->folded}];
    const auto it = values.find(Fold(name));
    if (it == values.end()) {
        return kRegFileNotFound;
    }
    *type = it->second.type;
    *data = it->second.data;
    return kRegSuccess;
}

uint32_t FakeRegistry::SetValue(RegistryHandle key, const std::string& name, uint32_t type,
                                const std::string& data) {
    if (const uint32_t failure = Record("Set " + name)) {
        return failure;
    }
    uint32_t status = kRegSuccess;
    const Opened* opened = Find(key, kKeySetValue, &status);
    if (opened == nullptr) {
        return status;
    }
    m_keys[{opened->root, opened->folded}][Fold(name)] = Value{type, data};
    return kRegSuccess;
}

uint32_t FakeRegistry::DeleteValue(RegistryHandle key, const std::string& name) {
    if (const uint32_t failure = Record("DeleteValue " + name)) {
        return failure;
    }
    uint32_t status = kRegSuccess;
    const Opened* opened = Find(key, kKeySetValue, &status);
    if (opened == nullptr) {
        return status;
    }
    return m_keys[{opened->root, opened->folded}].erase(Fold(name)) == 1 ? kRegSuccess
                                                                         : kRegFileNotFound;
}

uint32_t FakeRegistry::DeleteKey(RegistryHandle key, const std::string& subKey) {
    if (const uint32_t failure = Record("DeleteKey " + subKey)) {
        return failure;
    }
    uint32_t status = kRegSuccess;
    const Opened* opened = Find(key, 0, &status);
    if (opened == nullptr) {
        return status;
    }
    const std::string folded =
        opened->folded.empty() ? Fold(subKey) : opened->folded + "\\" + Fold(subKey);
    const auto it = m_keys.find({opened->root, folded});
    if (it == m_keys.end()) {
        return kRegFileNotFound;
    }
    for (const auto& [id, values] : m_keys) {
        if (id.first == opened->root &&
            id.second.compare(0, folded.size() + 1, folded + "\\") == 0) {
            return kRegAccessDenied;
        }
    }
    m_keys.erase(it);
    return kRegSuccess;
}

uint32_t FakeRegistry::CloseKey(RegistryHandle key) {
    if (const uint32_t failure = Record("Close")) {
        return failure;
    }
    return m_handles.erase(key) == 1 ? kRegSuccess : kRegInvalidHandle;
}

}  // namespace pellquin::test
