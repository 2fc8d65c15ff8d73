#include "settings/settings_store.h"

#include <algorithm>

#include "settings/constants.h"
#include "settings/registry_values.h"

namespace pellquin {
namespace {

// A stored count above this is taken as a damaged value, not as a list to build: reading it
// would otherwise fill memory with empty entries and the next save would write them all back.
constexpr int32_t kMaxStoredEntries = 10000;

constexpr size_t kPickListLimit = 10;

std::string SubkeyPath(const char* subkey) {
    return std::string(kSettingsRootKey) + "\\" + subkey;
}

// Reads a count and that many indexed texts into `entries`, which is emptied first.
void LoadList(Registry& registry, const char* subkey, const std::string& countName,
              const std::string& prefix, std::vector<std::string>& entries) {
    entries.clear();
    RegistryKey key(registry);
    key.Open(RegistryRoot::CurrentUser, SubkeyPath(subkey), kKeyRead);
    int32_t count = 0;
    if (ReadRegistryInteger(key, countName, &count) != kRegSuccess || count > kMaxStoredEntries) {
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        std::string entry;
        if (ReadRegistryText(key, prefix + std::to_string(i), &entry) != kRegSuccess) {
            return;
        }
        entries.push_back(std::move(entry));
    }
}

void SaveList(Registry& registry, const char* subkey, const std::string& countName,
              const std::string& prefix, const std::vector<std::string>& entries) {
    RegistryKey key(registry);
    key.Create(RegistryRoot::CurrentUser, SubkeyPath(subkey), kKeyAllAccess);
    if (WriteRegistryInteger(key, countName, static_cast<int32_t>(entries.size())) != kRegSuccess) {
        return;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (WriteRegistryText(key, prefix + std::to_string(i), entries[i]) != kRegSuccess) {
            return;
        }
    }
}

// Member tables keep the load and save orders of each subkey in one place.
const std::vector<std::pair<const char*, bool OptionsState::*>>& OptionFields() {
    static const std::vector<std::pair<const char*, bool OptionsState::*>> fields = {
        {"PromptOnClear", &OptionsState::promptOnClear},
        {"ShowDirectories", &OptionsState::showDirectories},
        {"DirectThenService", &OptionsState::directThenService},
        {"DirectOnly", &OptionsState::directOnly},
        {"ServiceOnly", &OptionsState::serviceOnly},
        {"ClientRelative", &OptionsState::clientRelative},
        {"ServerRelative", &OptionsState::serverRelative},
    };
    return fields;
}

const std::vector<std::pair<const char*, int32_t DefaultsState::*>>& DefaultFields() {
    static const std::vector<std::pair<const char*, int32_t DefaultsState::*>> fields = {
        {"WindowLeft", &DefaultsState::windowLeft},
        {"WindowTop", &DefaultsState::windowTop},
        {"WindowHeight", &DefaultsState::windowHeight},
        {"WindowWidth", &DefaultsState::windowWidth},
        {"DrivesWidth", &DefaultsState::drivesWidth},
        {"DoneFirstRun", &DefaultsState::doneFirstRun},
    };
    return fields;
}

}  // namespace

SettingsStore::SettingsStore(Registry& registry) : m_registry(registry) {}

void SettingsStore::LoadFavourites(std::vector<std::string>& favourites) {
    LoadList(m_registry, "Favourites", "NumFavourites", "Favourite", favourites);
}

void SettingsStore::LoadPickList(std::vector<std::string>& pickList) {
    LoadList(m_registry, "PickList", "NumPickList", "PickList", pickList);
}

void SettingsStore::SaveFavourites(const std::vector<std::string>& favourites) {
    SaveList(m_registry, "Favourites", "NumFavourites", "Favourite", favourites);
}

void SettingsStore::SavePickList(const std::vector<std::string>& pickList) {
    SaveList(m_registry, "PickList", "NumPickList", "PickList", pickList);
}

void SettingsStore::LoadOptions(OptionsState& options) {
    RegistryKey key(m_registry);
    key.Create(RegistryRoot::CurrentUser, SubkeyPath("Options"), kKeyAllAccess);
    for (const auto& [name, member] : OptionFields()) {
        int32_t value = 0;
        if (ReadRegistryInteger(key, name, &value) != kRegSuccess) {
            return;
        }
        options.*member = value != 0;
    }
}

void SettingsStore::SaveOptions(const OptionsState& options) {
    RegistryKey key(m_registry);
    key.Create(RegistryRoot::CurrentUser, SubkeyPath("Options"), kKeyAllAccess);
    for (const auto& [name, member] : OptionFields()) {
        if (WriteRegistryInteger(key, name, options.*member ? 1 : 0) != kRegSuccess) {
            return;
        }
    }
}

void SettingsStore::LoadAutoRefresh(int32_t& seconds) {
    RegistryKey key(m_registry);
    key.Create(RegistryRoot::CurrentUser, SubkeyPath("Options"), kKeyAllAccess);
    int32_t value = 0;
    if (ReadRegistryInteger(key, "AutoRefresh", &value) == kRegSuccess && value >= 0 &&
        value <= 3600) {
        seconds = value;
    }
}

void SettingsStore::SaveAutoRefresh(int32_t seconds) {
    RegistryKey key(m_registry);
    key.Create(RegistryRoot::CurrentUser, SubkeyPath("Options"), kKeyAllAccess);
    WriteRegistryInteger(key, "AutoRefresh", seconds);
}

std::string SettingsStore::LoadServiceCodePage() {
    RegistryKey key(m_registry);
    key.Open(RegistryRoot::CurrentUser, SubkeyPath("Options"), kKeyRead);
    std::string name;
    if (ReadRegistryText(key, "ServiceCodePage", &name) != kRegSuccess) {
        return std::string();
    }
    return name;
}

void SettingsStore::LoadDefaults(DefaultsState& defaults) {
    RegistryKey key(m_registry);
    key.Create(RegistryRoot::CurrentUser, SubkeyPath("Defaults"), kKeyAllAccess);
    for (const auto& [name, member] : DefaultFields()) {
        if (ReadRegistryInteger(key, name, &(defaults.*member)) != kRegSuccess) {
            return;
        }
    }
}

void SettingsStore::SaveDefaults(const DefaultsState& defaults) {
    RegistryKey key(m_registry);
    key.Create(RegistryRoot::CurrentUser, SubkeyPath("Defaults"), kKeyAllAccess);
    for (const auto& [name, member] : DefaultFields()) {
        if (WriteRegistryInteger(key, name, defaults.*member) != kRegSuccess) {
            return;
        }
    }
}

void UpdatePickList(std::vector<std::string>& pickList, const std::string& path) {
    const auto found = std::find(pickList.begin(), pickList.end(), path);
    if (found != pickList.end()) {
        std::rotate(pickList.begin(), found, found + 1);
        return;
    }
    pickList.insert(pickList.begin(), path);
    if (pickList.size() > kPickListLimit) {
        pickList.pop_back();
    }
}

}  // namespace pellquin
