#include "platform/registry_hive.h"

#include <algorithm>

namespace pellquin {
std::string FoldRegistryName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

bool IsValidRegistryName(const std::string& name) {
    return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

bool IsValidRegistryPath(const std::string& path) {
    if (path.empty()) {
        return true;
    }
    return IsValidRegistryName(path) && path.front() != '\\' && path.back() != '\\' &&
           path.find("\\\\") == std::string::npos;
}

const RegistryValue* HiveKey::Find(const std::string& name) const {
    const auto it = m_values.find(FoldRegistryName(name));
    return it == m_values.end() ? nullptr : &it->second.value;
}

void HiveKey::Set(const std::string& name, uint32_t type, std::string data) {
    const auto [it, added] = m_values.try_emplace(FoldRegistryName(name));
    Entry& entry = it->second;
    if (added) {
        entry.value.name = name;
        entry.order = m_nextOrder++;
    }
    entry.value.type = type;
    entry.value.data = std::move(data);
}

bool HiveKey::Remove(const std::string& name) {
    return m_values.erase(FoldRegistryName(name)) == 1;
}

std::vector<const RegistryValue*> HiveKey::Values() const {
    std::vector<const Entry*> entries;
    entries.reserve(m_values.size());
    for (const auto& [folded, entry] : m_values) {
        entries.push_back(&entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry* a, const Entry* b) { return a->order < b->order; });
    std::vector<const RegistryValue*> values;
    values.reserve(entries.size());
    for (const Entry* entry : entries) {
        values.push_back(&entry->value);
    }
    return values;
}

RegistryHive::RegistryHive() : m_keys{{std::string(), HiveKey()}} {}

HiveKey* RegistryHive::Find(const std::string& path) {
    const auto it = m_keys.find(FoldRegistryName(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

const HiveKey* RegistryHive::Find(const std::string& path) const {
    const auto it = m_keys.find(FoldRegistryName(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

bool RegistryHive::HasSubkeys(const std::string& path) const {
    const std::string folded = FoldRegistryName(path);
    if (folded.empty()) {
        return m_keys.size() > 1;
    }
    // The keys below a path are the ones that start with "path\", adjacent in the map.
    const std::string prefix = folded + "\\";
    const auto it = m_keys.lower_bound(prefix);
    return it != m_keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

bool RegistryHive::Create(const std::string& path) {
    bool created = false;
    size_t from = 0;
    while (!path.empty() && from != std::string::npos) {
        const size_t end = path.find('\\', from);
        const std::string prefix = path.substr(0, end);
        if (m_keys.try_emplace(FoldRegistryName(prefix), prefix).second) {
            created = true;
        }
        from = end == std::string::npos ? end : end + 1;
    }
    return created;
}

void RegistryHive::Remove(const std::string& path) {
    m_keys.erase(FoldRegistryName(path));
}

void RegistryHive::RemoveTree(const std::string& path) {
    const std::string folded = FoldRegistryName(path);
    m_keys.erase(folded);
    const std::string prefix = folded + "\\";
    auto it = m_keys.lower_bound(prefix);
    while (it != m_keys.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
        it = m_keys.erase(it);
    }
}

}  // namespace pellquin
