#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace pellquin {

// The Options tab: two check boxes and two radio groups. Loads assign each member as read,
// so a stored 0 for the selected button of a group leaves that group with none selected.
struct OptionsState {
    bool promptOnClear = true;
    bool showDirectories = true;
    bool directThenService = true;
    bool directOnly = false;
    bool serviceOnly = false;
    bool clientRelative = true;
    bool serverRelative = false;
};

// Main window geometry (outer bounds, screen pixels), drive-tree width and the first-run
// flag. The caller fills windowHeight and windowWidth from its frame before loading.
struct DefaultsState {
    int32_t windowLeft = 291;
    int32_t windowTop = 219;
    int32_t windowHeight = 0;
    int32_t windowWidth = 0;
    int32_t drivesWidth = 200;
    int32_t doneFirstRun = 0;
};

// The program's own settings under HKEY_CURRENT_USER\Software\Morrowfen\Pellquin, in the
// subkeys Options, Defaults, Favourites and PickList. Every operation is silent: the first
// read or write that fails ends it, and whatever was applied or written before stays.
class SettingsStore {
public:
    // The registry is borrowed and must outlive the store (the program's other registry
    // users share it).
    explicit SettingsStore(Registry& registry);

    // Empties `favourites`, then reads NumFavourites entries "Description|||Path"; a missing
    // entry reads as "".
    void LoadFavourites(std::vector<std::string>& favourites);
    void LoadOptions(OptionsState& options);
    void LoadDefaults(DefaultsState& defaults);
    // Empties `pickList`, then reads NumPickList paths, most recent first.
    void LoadPickList(std::vector<std::string>& pickList);

    // Saves write the count, then the entries; values left by a longer earlier list stay.
    void SaveFavourites(const std::vector<std::string>& favourites);
    void SaveOptions(const OptionsState& options);
    void SavePickList(const std::vector<std::string>& pickList);
    void SaveDefaults(const DefaultsState& defaults);

    // The auto refresh interval in seconds, 0 for off, beside the options ("AutoRefresh").
    // Load leaves `seconds` as it is when the value is missing or out of 0..3600.
    void LoadAutoRefresh(int32_t& seconds);
    void SaveAutoRefresh(int32_t seconds);

    // The code page of the query service's records ("ServiceCodePage" beside the options),
    // as a name for MakeWireText; "" when it is missing or not text, for the default. Only
    // reads: a command-line program may call it without creating the settings.
    std::string LoadServiceCodePage();

private:
    Registry& m_registry;
};

// Moves `path` (compared byte for byte) to the top of the pick list, or inserts it there and
// drops the last entry when that makes more than ten.
void UpdatePickList(std::vector<std::string>& pickList, const std::string& path);

}  // namespace pellquin
