#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace pellquin {

// Key and value names compare in this form: ASCII letters in lower case, all else unchanged.
std::string FoldRegistryName(const std::string& name);

// Names may not hold line breaks or NULs, which the line-based hive text cannot carry.
bool IsValidRegistryName(const std::string& name);

// A key path relative to its root: "" (the root itself) or non-empty components joined by
// single backslashes, each a valid name.
bool IsValidRegistryPath(const std::string& path);

struct RegistryValue {
    std::string name;  // as first written
    uint32_t type = kRegNone;
    std::string data;  // in the form Registry::QueryValue returns it
};

// The values of one key. Lookups by name take logarithmic time, so that a key with many
// values loads and changes in n log n, and the values keep the order they were first written.
class HiveKey {
public:
    explicit HiveKey(std::string path = std::string()) : m_path(std::move(path)) {}

    // The path as first created; "" for the root.
    const std::string& Path() const { return m_path; }

    const RegistryValue* Find(const std::string& name) const;

    // Replaces the type and data of the value of that name, keeping its first spelling and
    // place, or adds it at the end.
    void Set(const std::string& name, uint32_t type, std::string data);

    // Returns whether there was such a value.
    bool Remove(const std::string& name);

    bool Empty() const { return m_values.empty(); }

    // In the order first written.
    std::vector<const RegistryValue*> Values() const;

private:
    struct Entry {
        RegistryValue value;
        uint64_t order = 0;
    };

    std::string m_path;
    std::map<std::string, Entry> m_values;  // by folded name
    uint64_t m_nextOrder = 0;
};

// The keys under one root, by folded path; the root ("") always exists. Paths given to the
// calls may be spelt in any case.
class RegistryHive {
public:
    RegistryHive();

    HiveKey* Find(const std::string& path);
    const HiveKey* Find(const std::string& path) const;

    bool HasSubkeys(const std::string& path) const;

    // Creates `path` and every missing key above it; returns whether anything was created.
    bool Create(const std::string& path);

    // Removes the key `path` alone (its subkeys, if any, stay).
    void Remove(const std::string& path);

    // Removes the key `path` and every key below it.
    void RemoveTree(const std::string& path);

    // By folded path, so a key comes right before the keys below it.
    const std::map<std::string, HiveKey>& Keys() const { return m_keys; }

private:
    std::map<std::string, HiveKey> m_keys;
};

}  // namespace pellquin
