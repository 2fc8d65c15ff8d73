#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QRect>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/browser_services.h"
#include "platform/path_probe.h"
#include "prompts/prompts.h"
#include "query/mod_pq.h"
#include "service/control/service_control_parts.h"
#include "settings/settings_store.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTabWidget;
class QTimer;
class QTreeView;
class QTreeWidget;

namespace pellquin {

class ContextMenus;
class HtmlHelpSystem;
class ResultsModel;
class ServiceControlTab;
class TfrmStatus;
class TPathBrowser;

// The main window: the path box and browser frame, the results list and clearing, service
// control page, options, menus and status bar. Every user-facing failure goes through
// `prompts`; nothing here throws. The engine, settings, probe and prompts are borrowed from
// the application object and must outlive the window; the service control's parts and the
// path browser's services are owned (without the latter the browser shows no drives).
// The About box, when given, becomes the window's child and is shown modally by Help > About.
class TfrmPellquin : public QMainWindow {
    Q_OBJECT
public:
    TfrmPellquin(TmodPQ& modPQ, SettingsStore& settings, PathProbe& pathProbe, Prompts& prompts,
                 ServiceControlParts serviceParts, std::unique_ptr<QDialog> frmAbout = nullptr,
                 QWidget* parent = nullptr, BrowserServices browserServices = BrowserServices());
    // The program's window: also the file manager's menu entries, help, and the command
    // line's arguments after the program name (the first is checked at start). `contextMenus`
    // and `help` are borrowed like the others.
    TfrmPellquin(TmodPQ& modPQ, SettingsStore& settings, PathProbe& pathProbe, Prompts& prompts,
                 ServiceControlParts serviceParts, std::unique_ptr<QDialog> frmAbout,
                 ContextMenus& contextMenus, HtmlHelpSystem& help,
                 std::vector<std::string> arguments,
                 BrowserServices browserServices = BrowserServices(), QWidget* parent = nullptr);
    ~TfrmPellquin() override;

    // The start-up sequence, run once when the window (made with the constructor above) is
    // first shown: settings, help, the Path/File tab and the drive tree at once; the welcome
    // offer and the command line's check once the window is drawn. StartupDone() tells when
    // all of it has run.
    void FormShow();
    void setVisible(bool visible) override;
    bool StartupDone() const { return m_startupDone; }
    // The close sequence: the pick list, then the window geometry and first-run flag. Runs
    // only after the start-up sequence, so a window that never started cannot overwrite
    // the stored settings with its built-in ones.
    void FormClose();

    void LMDButton2Click();  // Install Menus
    void LMDButton3Click();  // Remove Menus
    void PellquinHelp1Click();

    // The Check command: validates the path box text, queries the engine and fills the
    // results list. Every trigger of a check ends here.
    void CheckPath();

    void ClearSelectedConnections();
    void ClearAllConnections();
    void CopyResultstoClipboard1Click();
    void ShowErrorBox(const std::string& text);

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

    // Query mechanism flags from the Options tab, 0 or 1, read at the moment of the call.
    int TryDirect() const;
    int TryService() const;

    std::vector<std::string>& Favourites() { return m_favourites; }
    int DoneFirstRun() const { return m_doneFirstRun; }
    void SetDoneFirstRun(int flag) { m_doneFirstRun = flag; }
    int DrivesWidth() const;
    void SetDrivesWidth(int width);

    TfrmStatus& frmStatus() { return *m_frmStatus; }
    TPathBrowser& browser() { return *m_browser; }
    TmodPQ& modPQ() { return m_modPQ; }
    Prompts& prompts() { return m_prompts; }
    SettingsStore& settings() { return m_settings; }

public slots:
    void LMDButton1Click() { CheckPath(); }
    void LMDButton4Click() { CheckPath(); }
    void cmdRefreshClick() { CheckPath(); }
    void cmdClearClick() { ClearSelectedConnections(); }
    void cmdClearAllClick() { ClearAllConnections(); }
    void cmdSetDefaultClick() { SaveOptions(); }
    void Exit1Click();
    void About2Click();
    void lvwItemsColumnClick(int column);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildMenus();
    QWidget* BuildPathTab(BrowserServices browserServices);
    QWidget* BuildUsersTab();
    QWidget* BuildOptionsTab();
    void SetStatusText(const char* text);
    void SetPickItems(const std::vector<std::string>& items);
    std::vector<std::string> PickItems() const;
    OptionsState CurrentOptions() const;
    DefaultsState CurrentDefaults() const;
    std::string PathText() const;
    // Steps of the start-up sequence that need the window on screen.
    void FormShowDrawn();
    // Applies the stored outer bounds again once the window manager has framed the window.
    void SettleStoredGeometry();
    // Runs one close of the given id through the engine; returns its error text.
    std::string CloseConnection(uint32_t id);

    TmodPQ& m_modPQ;
    SettingsStore& m_settings;
    PathProbe& m_pathProbe;
    Prompts& m_prompts;

    TfrmStatus* m_frmStatus = nullptr;
    QDialog* m_frmAbout = nullptr;  // a child of the window
    QTabWidget* m_pagPellquin = nullptr;
    QWidget* m_tabUsers = nullptr;
    QPushButton* m_defaultButton = nullptr;  // LMDButton1
    QComboBox* m_cboFileName = nullptr;
    QSplitter* m_splitter = nullptr;
    TPathBrowser* m_browser = nullptr;
    QTreeView* m_lvwItems = nullptr;
    ResultsModel* m_results = nullptr;
    QCheckBox* m_chkPromptClearConnection = nullptr;
    QCheckBox* m_chkShowDirectoryNames = nullptr;
    QRadioButton* m_optDirectThenService = nullptr;
    QRadioButton* m_optDirectOnly = nullptr;
    QRadioButton* m_optServiceOnly = nullptr;
    QRadioButton* m_optClientRelative = nullptr;
    QRadioButton* m_optServerRelative = nullptr;
    QTimer* m_timer = nullptr;
    ServiceControlTab* m_serviceTab = nullptr;

    ContextMenus* m_contextMenus = nullptr;
    HtmlHelpSystem* m_help = nullptr;
    std::vector<std::string> m_arguments;
    bool m_formShown = false;
    bool m_startupDone = false;
    // Outer bounds read by LoadDefaults while the window had no frame yet; applied again when
    // the frame appears, so that the window does not grow by its frame at every start.
    std::optional<QRect> m_storedFrame;

    std::vector<std::string> m_favourites;
    int m_doneFirstRun = 0;
    int m_drivesWidth = 200;
    int m_sortColumn = -1;  // none until a header is clicked after the list was filled
    bool m_sortAscending = true;
    bool m_checking = false;
};

}  // namespace pellquin
