#pragma once

#include <QMainWindow>
#include <cstdint>
#include <string>
#include <vector>

#include "app/window_geometry.h"
#include "app/window_services.h"
#include "browser/browser_services.h"
#include "platform/path_probe.h"
#include "prompts/prompts.h"
#include "query/mod_pq.h"
#include "service/control/service_control_parts.h"
#include "settings/settings_store.h"

class QDialog;
class QTabWidget;
class QTimer;

namespace pellquin {

class AutoRefresh;
class ContextMenus;
class HtmlHelpSystem;
class OptionsPage;
class PathPage;
class ServiceControlTab;
class TfrmStatus;
class TPathBrowser;
class UsersPage;

// The main window: its pages (Path/File, Users, Service Control, Options), menus and status
// bar, the Check command, and the start-up and close sequences with the settings they read
// and write. Every user-facing failure goes through the prompts; nothing here throws once
// the window is built.
class TfrmPellquin : public QMainWindow {
    Q_OBJECT
public:
    // Throws std::invalid_argument, naming the member, when a service is missing: a window
    // wired without one would fail later and far from the cause.
    explicit TfrmPellquin(WindowServices services, QWidget* parent = nullptr);
    ~TfrmPellquin() override;

    // The program's start, called once: the start-up sequence (settings, help, the Path/File tab
    // and the drive tree), then the window is shown at its stored place; the welcome offer and the
    // check of the first of `arguments` (the command line's after the program name) follow
    // once the window is drawn. StartupDone() tells when all of it has run. A window shown
    // without Start keeps its built-in state and does not save it at close.
    void Start(std::vector<std::string> arguments);
    bool StartupDone() const { return m_startupDone; }
    // The close sequence: the pick list, then the window geometry and first-run flag. Runs
    // only after the start-up sequence, so a window that never started cannot overwrite
    // the stored settings with its built-in ones.
    void FormClose();

    // The Check command: validates the path box text, queries the engine and fills the
    // results list. Every trigger of a check ends here.
    void CheckPath();

    void PellquinHelp1Click();
    void CopyResultstoClipboard1Click();
    // Sorts the results list by `column`; the same column again reverses the order.
    void lvwItemsColumnClick(int column);

    // Settings: each copies between the controls (or the window's state) and the store.
    void LoadFavourites();
    void LoadOptions();
    void LoadDefaults();
    void LoadPickList();
    void SaveFavourites();
    void SaveOptions();
    void SavePickList();
    void SaveDefaults();
    // Moves or inserts `path` at the top of the path box's items; the box's text stays.
    void UpdatePickList(const std::string& path);
    // Rebuilds the drive and favourites tree from the machine's drives and m_favourites.
    void LoadDrives();

    std::vector<std::string>& Favourites() { return m_favourites; }
    int DoneFirstRun() const { return m_doneFirstRun; }
    int DrivesWidth() const;
    void SetDrivesWidth(int width);

    TfrmStatus& frmStatus() { return *m_frmStatus; }
    TPathBrowser& browser();

public slots:
    void LMDButton1Click() { CheckPath(); }
    void LMDButton4Click() { CheckPath(); }
    void Exit1Click();
    void About2Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildMenus();
    void SetStatusText(const char* text);
    DefaultsState CurrentDefaults() const;
    // Steps of the start-up sequence: before the window is on screen, and once it is drawn.
    void FormShow();
    void FormShowDrawn();
    // Runs one close of the given id through the engine; returns its error text.
    std::string CloseConnection(uint32_t id);

    TmodPQ& m_modPQ;
    SettingsStore& m_settings;
    PathProbe& m_pathProbe;
    Prompts& m_prompts;
    ContextMenus& m_contextMenus;
    HtmlHelpSystem& m_help;

    WindowGeometry m_geometry;
    AutoRefresh* m_autoRefresh = nullptr;
    TfrmStatus* m_frmStatus = nullptr;
    QDialog* m_frmAbout = nullptr;  // a child of the window
    QTabWidget* m_pagPellquin = nullptr;
    PathPage* m_path = nullptr;
    UsersPage* m_users = nullptr;
    ServiceControlTab* m_serviceTab = nullptr;
    OptionsPage* m_options = nullptr;
    QTimer* m_timer = nullptr;

    std::vector<std::string> m_arguments;
    bool m_formShown = false;
    bool m_startupDone = false;
    std::vector<std::string> m_favourites;
    int m_doneFirstRun = 0;
    bool m_checking = false;
};

}  // namespace pellquin
