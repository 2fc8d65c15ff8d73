#pragma once

#include <QWidget>

#include "settings/settings_store.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace pellquin {

class ContextMenus;

// The "Options" page: confirmation and directory-name switches, the query mechanism, the
// results' file name format, "Set As Default" and the file manager's menu entries. The store
// and the menus are borrowed and must outlive the page.
class OptionsPage : public QWidget {
    Q_OBJECT
public:
    OptionsPage(SettingsStore& settings, ContextMenus& contextMenus);

    // The controls' state, and the state applied to them.
    OptionsState Options() const;
    // Applies the values one by one in stored order, so a later selection in a group wins;
    // a group may end with none selected, as stored settings can leave it.
    void SetOptions(const OptionsState& options);
    // Reads the stored options over the controls' state; values the store lacks stay as shown.
    void LoadOptions();
    void SaveOptions();

    // Query mechanism flags, 0 or 1, read at the moment of the call.
    int TryDirect() const;
    int TryService() const;
    bool PromptOnClear() const;
    bool ShowDirectoryNames() const;
    // Neither format selected (only stored settings can do that) means client-relative names.
    bool ServerRelative() const;
    // Seconds between automatic refreshes of the results; 0 when off (the default).
    int AutoRefreshSeconds() const;
    void SetAutoRefreshSeconds(int seconds);

signals:
    void autoRefreshChanged();

private:
    SettingsStore& m_settings;
    QCheckBox* m_chkPromptClearConnection = nullptr;
    QCheckBox* m_chkShowDirectoryNames = nullptr;
    QRadioButton* m_optDirectThenService = nullptr;
    QRadioButton* m_optDirectOnly = nullptr;
    QRadioButton* m_optServiceOnly = nullptr;
    QRadioButton* m_optClientRelative = nullptr;
    QRadioButton* m_optServerRelative = nullptr;
    QCheckBox* m_chkAutoRefresh = nullptr;
    QSpinBox* m_spnAutoRefresh = nullptr;
};

}  // namespace pellquin
