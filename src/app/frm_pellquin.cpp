#include "app/frm_pellquin.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>
#include <exception>
#include <limits>
#include <utility>

#include "app/frm_status.h"
#include "app/results_model.h"
#include "browser/drive_tree.h"
#include "browser/path_browser.h"
#include "help/html_help_system.h"
#include "query/result_format.h"
#include "query/result_rows.h"
#include "service/service_control_tab.h"
#include "settings/constants.h"
#include "shell/context_menus.h"

namespace pellquin {
namespace {

const char kWelcomeText[] =
    "Welcome to Pellquin\r\n\r\nPellquin can add a \"Check with Pellquin\" option to the "
    "Windows Explorer right click menu.\r\n This will enable you to check files and "
    "directories without needing to use the Pellquin GUI.\r\n\r\nAdd the menu to Explorer?";
// Marks a stored setting that was not read.
constexpr int32_t kUnread = std::numeric_limits<int32_t>::min();
// How long the start-up waits for the window to reach the screen before its first box.
constexpr int kExposeWaitMs = 2000;

constexpr int kClientWidth = 803;
constexpr int kClientHeight = 496;
constexpr int kInitialLeft = 291;
constexpr int kInitialTop = 219;
constexpr int kStatusBarHeight = 23;

// The hourglass for the length of a command, restored on every way out.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { Restore(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void Restore() {
        if (m_active) {
            m_active = false;
            QApplication::restoreOverrideCursor();
        }
    }

private:
    bool m_active = true;
};

// Marks a check as running for its whole length, whichever way it ends.
class CheckingMark {
public:
    explicit CheckingMark(bool& flag) : m_flag(flag) { m_flag = true; }
    ~CheckingMark() { m_flag = false; }
    CheckingMark(const CheckingMark&) = delete;
    CheckingMark& operator=(const CheckingMark&) = delete;

private:
    bool& m_flag;
};

template <typename W>
W* Named(W* widget, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(QString::fromUtf8(objectName));
    widget->setAccessibleName(accessibleName);
    return widget;
}

QPushButton* Button(const QString& caption, const char* objectName, const QString& accessibleName,
                    QWidget* parent) {
    auto* button = Named(new QPushButton(caption, parent), objectName, accessibleName);
    // Enter on a focused button presses it, as Space does.
    button->setAutoDefault(true);
    return button;
}

// Selects or deselects one radio button. Deselecting leaves its group with none selected,
// which an exclusive group does not allow by itself.
void SetSelected(QRadioButton* button, bool selected) {
    if (selected) {
        button->setChecked(true);
        return;
    }
    QButtonGroup* group = button->group();
    group->setExclusive(false);
    button->setChecked(false);
    group->setExclusive(true);
}

QButtonGroup* ExclusiveGroup(QObject* parent, std::initializer_list<QRadioButton*> buttons) {
    auto* group = new QButtonGroup(parent);
    group->setExclusive(true);
    for (QRadioButton* button : buttons) {
        button->setAutoExclusive(false);
        group->addButton(button);
    }
    return group;
}

}  // namespace

TfrmPellquin::TfrmPellquin(TmodPQ& modPQ, SettingsStore& settings, PathProbe& pathProbe,
                           Prompts& prompts, ServiceControlParts serviceParts,
                           std::unique_ptr<QDialog> frmAbout, QWidget* parent,
                           BrowserServices browserServices)
    : QMainWindow(parent),
      m_modPQ(modPQ),
      m_settings(settings),
      m_pathProbe(pathProbe),
      m_prompts(prompts) {
    if (frmAbout) {
        // Centred over the window and deleted with it.
        m_frmAbout = frmAbout.release();
        m_frmAbout->setParent(this, m_frmAbout->windowFlags());
    }
    setObjectName("frmPellquin");
    setWindowTitle(QString::fromUtf8(kProductName));
    setAccessibleName(QString::fromUtf8(kProductName));
    setFont(QFont("MS Sans Serif", 8));

    BuildMenus();

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* bevel = new QFrame(central);
    bevel->setObjectName("Bevel1");
    bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    bevel->setFixedHeight(3);
    column->addWidget(bevel);

    m_pagPellquin = Named(new QTabWidget(central), "pagPellquin", "Pages");
    m_pagPellquin->addTab(BuildPathTab(std::move(browserServices)), "&Path/File");
    m_tabUsers = BuildUsersTab();
    m_pagPellquin->addTab(m_tabUsers, "&Users");
    m_serviceTab =
        new ServiceControlTab(std::move(serviceParts), modPQ.NetFiles(), modPQ.System(), prompts);
    m_pagPellquin->addTab(m_serviceTab, "&Service Control");
    m_pagPellquin->addTab(BuildOptionsTab(), "&Options");
    column->addWidget(m_pagPellquin, 1);
    setCentralWidget(central);
    // Tab switches repaint the whole window, not just the page.
    connect(m_pagPellquin, &QTabWidget::currentChanged, this, [this] { repaint(); });

    auto* statusBar = Named(new QStatusBar(this), "StatusBar1", "Status");
    statusBar->setFixedHeight(kStatusBarHeight);
    statusBar->setSizeGripEnabled(false);
    setStatusBar(statusBar);

    m_frmStatus = new TfrmStatus(this);

    m_timer = new QTimer(this);
    m_timer->setObjectName("Timer1");
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, m_serviceTab, &ServiceControlTab::Timer1Timer);
    m_timer->start();

    // The client area below the menu bar is 803 by 496, as a Windows client area excludes
    // its menu bar.
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    move(kInitialLeft, kInitialTop);
}

TfrmPellquin::TfrmPellquin(TmodPQ& modPQ, SettingsStore& settings, PathProbe& pathProbe,
                           Prompts& prompts, ServiceControlParts serviceParts,
                           std::unique_ptr<QDialog> frmAbout, ContextMenus& contextMenus,
                           HtmlHelpSystem& help, std::vector<std::string> arguments,
                           BrowserServices browserServices, QWidget* parent)
    : TfrmPellquin(modPQ, settings, pathProbe, prompts, std::move(serviceParts),
                   std::move(frmAbout), parent, std::move(browserServices)) {
    m_contextMenus = &contextMenus;
    m_help = &help;
    m_arguments = std::move(arguments);
    // F1 anywhere in this window asks for its help context; other windows have none.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setObjectName("shortcutHelpContext");
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] {
        bool callHelp = true;
        m_help->ApplicationEvents1Help(kHelpContext, kMainWindowHelpContext, &callHelp);
    });
    // An open menu takes the keys; its items carry no help context.
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        menu->installEventFilter(this);
    }
}

TfrmPellquin::~TfrmPellquin() = default;

void TfrmPellquin::setVisible(bool visible) {
    // Only the program's window (the full constructor) starts up from its settings; a bare
    // window is left as its caller sets it up. The settings load before the window exists on
    // screen, so that it appears at its stored place, framed as the window manager frames it.
    if (visible && !m_formShown && m_help != nullptr) {
        FormShow();
    }
    QMainWindow::setVisible(visible);
}

void TfrmPellquin::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TfrmPellquin::FormShow() {
    m_formShown = true;
    m_favourites.clear();
    LoadFavourites();
    LoadOptions();
    LoadDefaults();
    LoadPickList();
    if (m_help != nullptr) {
        m_help->LoadHtmlHelp();
    }
    m_pagPellquin->setCurrentIndex(0);
    LoadDrives();
    // The window is not on screen yet; the boxes that follow belong over a drawn window.
    QMetaObject::invokeMethod(this, &TfrmPellquin::FormShowDrawn, Qt::QueuedConnection);
}

void TfrmPellquin::FormShowDrawn() {
    unsetCursor();
    repaint();
    QCoreApplication::processEvents();
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() != nullptr && !windowHandle()->isExposed() &&
           waited.elapsed() < kExposeWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    repaint();

    if (m_doneFirstRun == 0 && m_prompts.AskYesNo(kWelcomeText)) {
        LMDButton2Click();
    }
    m_doneFirstRun = 1;

    if (!m_arguments.empty() && !m_arguments.front().empty()) {
        m_cboFileName->setEditText(QString::fromStdString(m_arguments.front()));
        CheckPath();
    }
    m_startupDone = true;
}

void TfrmPellquin::FormClose() {
    if (!m_formShown) {
        return;
    }
    SavePickList();
    SaveDefaults();
}

void TfrmPellquin::LMDButton2Click() {
    if (m_contextMenus != nullptr) {
        m_contextMenus->InstallContextMenus();
    }
}

void TfrmPellquin::LMDButton3Click() {
    if (m_contextMenus != nullptr) {
        m_contextMenus->RemoveContextMenus();
    }
}

void TfrmPellquin::PellquinHelp1Click() {
    if (m_help != nullptr) {
        m_help->ShowHtmlHelp(kHelpTableOfContents, 0);
    }
}

void TfrmPellquin::LoadDrives() {
    m_browser->LoadDrives();
}

void TfrmPellquin::About2Click() {
    if (m_frmAbout != nullptr) {
        m_frmAbout->exec();
    }
}

void TfrmPellquin::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    bar->setAccessibleName("Main menu");

    QMenu* file = bar->addMenu("&File");
    file->setObjectName("File1");
    QAction* exit = file->addAction("E&xit");
    exit->setObjectName("Exit1");
    connect(exit, &QAction::triggered, this, &TfrmPellquin::Exit1Click);

    QMenu* edit = bar->addMenu("&Edit");
    edit->setObjectName("Tools1");
    QAction* copy = edit->addAction("&Copy Results to Clipboard");
    copy->setObjectName("CopyResultstoClipboard1");
    connect(copy, &QAction::triggered, this, &TfrmPellquin::CopyResultstoClipboard1Click);

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("Help1");
    QAction* helpContents = help->addAction("Pellquin &Help");
    helpContents->setObjectName("PellquinHelp1");
    connect(helpContents, &QAction::triggered, this, &TfrmPellquin::PellquinHelp1Click);
    help->addSeparator()->setObjectName("About1");
    QAction* about = help->addAction("&About");
    about->setObjectName("About2");
    connect(about, &QAction::triggered, this, &TfrmPellquin::About2Click);
}

QWidget* TfrmPellquin::BuildPathTab(BrowserServices browserServices) {
    auto* tab = Named(new QWidget, "tabPath", "Path/File");
    auto* layout = new QVBoxLayout(tab);

    auto* pathRow = new QHBoxLayout;
    m_cboFileName = Named(new QComboBox(tab), "cboFileName", "Path to check");
    m_cboFileName->setEditable(true);
    // The pick list changes only through UpdatePickList, never by typing Enter.
    m_cboFileName->setInsertPolicy(QComboBox::NoInsert);
    m_cboFileName->setMaxVisibleItems(10);
    m_cboFileName->lineEdit()->setAccessibleName("Path to check");
    m_cboFileName->view()->setAccessibleName("Recently checked paths");
    m_cboFileName->lineEdit()->installEventFilter(this);
    pathRow->addWidget(m_cboFileName, 1);
    QPushButton* check4 = Button("Check", "LMDButton4", "Check the path", tab);
    connect(check4, &QPushButton::clicked, this, &TfrmPellquin::LMDButton4Click);
    pathRow->addWidget(check4);
    layout->addLayout(pathRow);

    m_splitter = Named(new QSplitter(Qt::Horizontal, tab), "Splitter1", "Tree and file list");
    m_splitter->setHandleWidth(7);
    m_splitter->setChildrenCollapsible(false);
    BrowserHost host;
    host.setPathText = [this](const std::string& text) {
        m_cboFileName->setEditText(QString::fromStdString(text));
    };
    host.setStatusText = [this](const std::string& text) { SetStatusText(text.c_str()); };
    host.checkPath = [this] { CheckPath(); };
    host.showDirectoryNames = [this] { return m_chkShowDirectoryNames->isChecked(); };
    host.favourites = [this]() -> std::vector<std::string>& { return m_favourites; };
    host.saveFavourites = [this] { SaveFavourites(); };
    m_browser =
        new TPathBrowser(m_splitter, std::move(browserServices), std::move(host), m_prompts);
    QWidget* drives = m_browser->tvwDrives();
    QWidget* files = m_browser->lvwFiles();
    m_splitter->setStretchFactor(1, 1);
    SetDrivesWidth(m_drivesWidth);
    connect(m_splitter, &QSplitter::splitterMoved, this,
            [this] { m_drivesWidth = m_splitter->sizes().value(0, m_drivesWidth); });
    layout->addWidget(m_splitter, 1);

    auto* buttonRow = new QHBoxLayout;
    QPushButton* check1 = Button("&Check", "LMDButton1", "Check", tab);
    check1->setDefault(true);
    m_defaultButton = check1;
    connect(check1, &QPushButton::clicked, this, &TfrmPellquin::LMDButton1Click);
    buttonRow->addWidget(check1);
    QPushButton* mapDrive = Button("&Map Drive", "cmdMapDrive", "Map Drive", tab);
    connect(mapDrive, &QPushButton::clicked, m_browser, &TPathBrowser::cmdMapDriveClick);
    buttonRow->addWidget(mapDrive);
    buttonRow->addStretch(1);
    layout->addLayout(buttonRow);

    setTabOrder(m_cboFileName, check4);
    setTabOrder(check4, drives);
    setTabOrder(drives, files);
    setTabOrder(files, check1);
    return tab;
}

QWidget* TfrmPellquin::BuildUsersTab() {
    auto* tab = Named(new QWidget, "tabUsers", "Users");
    auto* layout = new QVBoxLayout(tab);

    m_lvwItems = Named(new QTreeView(tab), "lvwItems", "Open files");
    m_results = new ResultsModel(m_lvwItems);
    m_lvwItems->setModel(m_results);
    m_lvwItems->setRootIsDecorated(false);
    m_lvwItems->setItemsExpandable(false);
    m_lvwItems->setUniformRowHeights(true);
    m_lvwItems->setAllColumnsShowFocus(true);
    m_lvwItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lvwItems->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lvwItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvwItems->setSortingEnabled(false);
    QHeaderView* header = m_lvwItems->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    const int widths[kResultColumnCount] = {50, 200, 150, 50, 100};
    for (int c = 0; c < kResultColumnCount; ++c) {
        header->resizeSection(c, widths[c]);
    }
    connect(header, &QHeaderView::sectionClicked, this, &TfrmPellquin::lvwItemsColumnClick);
    // The header is mouse-only; the list's context menu (Menu key or Shift+F10) sorts too.
    m_lvwItems->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (int c = 0; c < kResultColumnCount; ++c) {
        const QString caption =
            m_results->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        auto* sort = new QAction("Sort by " + caption, m_lvwItems);
        sort->setObjectName(QString("mniSortColumn%1").arg(c));
        connect(sort, &QAction::triggered, this, [this, c] { lvwItemsColumnClick(c); });
        m_lvwItems->addAction(sort);
    }
    layout->addWidget(m_lvwItems, 1);

    auto* buttonRow = new QHBoxLayout;
    QPushButton* refresh = Button("&Refresh", "cmdRefresh", "Refresh", tab);
    QPushButton* clear = Button("C&lear", "cmdClear", "Clear selected connections", tab);
    QPushButton* clearAll = Button("Clear &All", "cmdClearAll", "Clear all connections", tab);
    connect(refresh, &QPushButton::clicked, this, &TfrmPellquin::cmdRefreshClick);
    connect(clear, &QPushButton::clicked, this, &TfrmPellquin::cmdClearClick);
    connect(clearAll, &QPushButton::clicked, this, &TfrmPellquin::cmdClearAllClick);
    buttonRow->addStretch(1);
    buttonRow->addWidget(refresh);
    buttonRow->addWidget(clear);
    buttonRow->addWidget(clearAll);
    layout->addLayout(buttonRow);

    setTabOrder(m_lvwItems, refresh);
    setTabOrder(refresh, clear);
    setTabOrder(clear, clearAll);
    return tab;
}

QWidget* TfrmPellquin::BuildOptionsTab() {
    auto* tab = Named(new QWidget, "Options", "Options");
    auto* layout = new QVBoxLayout(tab);

    auto* group1 =
        Named(new QGroupBox("Pellquin Options", tab), "LMDGroupBox1", "Pellquin Options");
    auto* group1Layout = new QVBoxLayout(group1);
    m_chkPromptClearConnection = Named(new QCheckBox("Confirm on Clear Connection", group1),
                                       "chkPromptClearConnection", "Confirm on Clear Connection");
    m_chkShowDirectoryNames =
        Named(new QCheckBox("Show Directory names in right side panel", group1),
              "chkShowDirectoryNames", "Show Directory names in right side panel");
    m_chkPromptClearConnection->setChecked(true);
    m_chkShowDirectoryNames->setChecked(true);
    group1Layout->addWidget(m_chkPromptClearConnection);
    group1Layout->addWidget(m_chkShowDirectoryNames);
    layout->addWidget(group1);

    auto* group2 = Named(new QGroupBox("Query Mechanism", tab), "LMDGroupBox2", "Query Mechanism");
    auto* group2Layout = new QVBoxLayout(group2);
    m_optDirectThenService =
        Named(new QRadioButton("Try direct API's followed by Pellquin service", group2),
              "optDirectThenService", "Try direct API's followed by Pellquin service");
    m_optDirectOnly = Named(new QRadioButton("Use Direct API's Only", group2), "optDirectOnly",
                            "Use Direct API's Only");
    m_optServiceOnly = Named(new QRadioButton("Use Pellquin Service Only", group2),
                             "optServiceOnly", "Use Pellquin Service Only");
    ExclusiveGroup(group2, {m_optDirectThenService, m_optDirectOnly, m_optServiceOnly});
    m_optDirectThenService->setChecked(true);
    group2Layout->addWidget(m_optDirectThenService);
    group2Layout->addWidget(m_optDirectOnly);
    group2Layout->addWidget(m_optServiceOnly);
    layout->addWidget(group2);

    auto* group5 = Named(new QGroupBox("Results Filename Format", tab), "LMDGroupBox5",
                         "Results Filename Format");
    auto* group5Layout = new QVBoxLayout(group5);
    m_optClientRelative = Named(new QRadioButton("Client relative filename format", group5),
                                "optClientRelative", "Client relative filename format");
    m_optServerRelative = Named(new QRadioButton("Server relative filename format", group5),
                                "optServerRelative", "Server relative filename format");
    ExclusiveGroup(group5, {m_optClientRelative, m_optServerRelative});
    m_optClientRelative->setChecked(true);
    group5Layout->addWidget(m_optClientRelative);
    group5Layout->addWidget(m_optServerRelative);
    layout->addWidget(group5);

    auto* setDefaultRow = new QHBoxLayout;
    QPushButton* setDefault = Button("Set As &Default", "cmdSetDefault", "Set As Default", tab);
    connect(setDefault, &QPushButton::clicked, this, &TfrmPellquin::cmdSetDefaultClick);
    setDefaultRow->addWidget(setDefault);
    setDefaultRow->addStretch(1);
    layout->addLayout(setDefaultRow);

    auto* group6 = Named(new QGroupBox("Windows Explorer Add In", tab), "LMDGroupBox6",
                         "Windows Explorer Add In");
    auto* group6Layout = new QVBoxLayout(group6);
    auto* addInText = new QLabel(
        "This adds a \"Check with Pellquin\" option to the context (right click) menus within "
        "Windows explorer. This enables you to check files without navigating through Pellquin",
        group6);
    addInText->setObjectName("lblExplorerAddIn");
    addInText->setWordWrap(true);
    group6Layout->addWidget(addInText);
    auto* addInButtons = new QHBoxLayout;
    QPushButton* installMenus = Button("Install Menus", "LMDButton2", "Install Menus", group6);
    QPushButton* removeMenus = Button("Remove Menus", "LMDButton3", "Remove Menus", group6);
    connect(installMenus, &QPushButton::clicked, this, &TfrmPellquin::LMDButton2Click);
    connect(removeMenus, &QPushButton::clicked, this, &TfrmPellquin::LMDButton3Click);
    addInButtons->addWidget(installMenus);
    addInButtons->addWidget(removeMenus);
    addInButtons->addStretch(1);
    group6Layout->addLayout(addInButtons);
    layout->addWidget(group6);
    layout->addStretch(1);
    return tab;
}

void TfrmPellquin::ShowErrorBox(const std::string& text) {
    m_prompts.ShowError(text);
}

void TfrmPellquin::SetStatusText(const char* text) {
    statusBar()->showMessage(QString::fromUtf8(text));
    statusBar()->repaint();
}

std::string TfrmPellquin::PathText() const {
    return m_cboFileName->currentText().toStdString();
}

int TfrmPellquin::TryDirect() const {
    return m_optDirectThenService->isChecked() || m_optDirectOnly->isChecked() ? 1 : 0;
}

int TfrmPellquin::TryService() const {
    return m_optDirectThenService->isChecked() || m_optServiceOnly->isChecked() ? 1 : 0;
}

void TfrmPellquin::CheckPath() {
    // A check cannot start from inside another one (for example from a box it shows).
    if (m_checking) {
        return;
    }
    const std::string text = PathText();
    if (text.empty()) {
        ShowErrorBox("Select a file, directory or drive to check");
        return;
    }
    if (!m_pathProbe.IsFile(text) && !m_pathProbe.IsDirectory(text)) {
        ShowErrorBox(text + " Does not appear to be a valid file or directory");
        return;
    }
    CheckingMark mark(m_checking);
    BusyCursor cursor;
    repaint();

    TPellquinRequest request;
    request.ClientPath = text;
    request.Path = text;
    request.RequestKind = REQUEST_QUERY;
    SetStatusText("Getting Data");
    const int tryDirect = TryDirect();
    const int tryService = TryService();

    SetStatusText("Clearing Previous Results");
    m_lvwItems->setUpdatesEnabled(false);
    m_results->Clear();
    m_sortColumn = -1;
    m_lvwItems->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_lvwItems->setUpdatesEnabled(true);

    try {
        m_modPQ.QueryOpenFiles(request, tryDirect, tryService);
    } catch (const std::exception& e) {
        // A reply cut short: shown as any unexpected failure is, and the window carries on.
        cursor.Restore();
        SetStatusText("Finished");
        ShowErrorBox(e.what());
        return;
    }
    if (!request.ErrorText.empty()) {
        cursor.Restore();
        ShowErrorBox(request.ErrorText);
        SetStatusText("Finished");
        return;
    }
    UpdatePickList(text);

    SetStatusText("Filling List");
    m_lvwItems->setUpdatesEnabled(false);
    // Neither format selected (only stored settings can do that) shows client-relative names.
    m_results->SetRows(MakeResultRows(request, m_optServerRelative->isChecked()));
    m_lvwItems->setUpdatesEnabled(true);
    SetStatusText("Finished");
    cursor.Restore();
    m_pagPellquin->setCurrentWidget(m_tabUsers);
}

std::string TfrmPellquin::CloseConnection(uint32_t id) {
    TPellquinRequest request;
    request.ClientPath = PathText();
    request.Path = request.ClientPath;
    request.RequestKind = REQUEST_CLOSE;
    request.FileId = id;
    m_modPQ.CloseOpenFile(request, TryDirect(), TryService());
    return request.ErrorText;
}

void TfrmPellquin::ClearSelectedConnections() {
    QItemSelectionModel* selection = m_lvwItems->selectionModel();
    if (!selection->hasSelection()) {
        m_prompts.Beep();
        m_prompts.ShowMessage("Select User(s) to Clear");
        return;
    }
    try {
        // The count is read at every step; the list itself changes only at the refresh.
        for (int row = 0; row < m_results->rowCount(); ++row) {
            if (!selection->isRowSelected(row, QModelIndex())) {
                continue;
            }
            const uint32_t id = ParseIdText(m_results->Rows()[row].cells[kColumnId]);
            if (m_chkPromptClearConnection->isChecked() &&
                !m_prompts.AskYesNo("Clear Connection " + IdText(id) + "?")) {
                continue;
            }
            const std::string error = CloseConnection(id);
            if (!error.empty()) {
                ShowErrorBox(error);
            }
        }
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
        return;
    }
    CheckPath();
}

void TfrmPellquin::ClearAllConnections() {
    if (m_chkPromptClearConnection->isChecked() && !m_prompts.AskYesNo("Clear All Connections ?")) {
        return;
    }
    m_frmStatus->ShowOver(this);
    try {
        for (int row = 0; row < m_results->rowCount(); ++row) {
            const uint32_t id = ParseIdText(m_results->Rows()[row].cells[kColumnId]);
            m_frmStatus->SetStep(QString::fromStdString("Clearing Connection " + IdText(id)));
            const std::string error = CloseConnection(id);
            if (!error.empty()) {
                ShowErrorBox(error);
                break;
            }
        }
    } catch (const std::exception& e) {
        m_frmStatus->hide();
        ShowErrorBox(e.what());
        return;
    }
    m_frmStatus->SetStep("Refreshing List", false);
    CheckPath();
    m_frmStatus->hide();
}

void TfrmPellquin::CopyResultstoClipboard1Click() {
    QApplication::clipboard()->setText(QString::fromStdString(ResultsText(m_results->Rows())));
}

void TfrmPellquin::lvwItemsColumnClick(int column) {
    if (column == m_sortColumn) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = column;
    }
    m_results->SortByColumn(column, m_sortAscending);
    m_lvwItems->header()->setSortIndicator(
        column, m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TfrmPellquin::Exit1Click() {
    close();
}

void TfrmPellquin::SettleStoredGeometry() {
    if (!m_storedFrame || windowHandle() == nullptr) {
        return;
    }
    const QRect frame = frameGeometry();
    const int frameWidth = frame.width() - width();
    const int frameHeight = frame.height() - height();
    if (frameWidth == 0 && frameHeight == 0) {
        return;
    }
    const QRect stored = *m_storedFrame;
    m_storedFrame.reset();
    resize(stored.width() - frameWidth, stored.height() - frameHeight);
    move(stored.topLeft());
}

bool TfrmPellquin::event(QEvent* event) {
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
        event->type() == QEvent::Show) {
        SettleStoredGeometry();
    }
    // Hovering a menu item sends an (empty) status tip that would wipe the progress text;
    // the status bar shows only what the commands write into it.
    if (event->type() == QEvent::StatusTip) {
        return true;
    }
    return QMainWindow::event(event);
}

bool TfrmPellquin::eventFilter(QObject* watched, QEvent* event) {
    if (m_help != nullptr && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 && qobject_cast<QMenu*>(watched)) {
        bool callHelp = true;
        m_help->ApplicationEvents1Help(kHelpContext, 0, &callHelp);
        return true;
    }
    if (watched == m_cboFileName->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            CheckPath();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmPellquin::keyPressEvent(QKeyEvent* event) {
    // Enter that no control took presses the window's default button, the lower "Check",
    // but only while its page is showing: Enter on another page must not start a check.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        m_defaultButton->isVisible()) {
        LMDButton1Click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

std::vector<std::string> TfrmPellquin::PickItems() const {
    std::vector<std::string> items;
    items.reserve(static_cast<size_t>(m_cboFileName->count()));
    for (int i = 0; i < m_cboFileName->count(); ++i) {
        items.push_back(m_cboFileName->itemText(i).toStdString());
    }
    return items;
}

void TfrmPellquin::SetPickItems(const std::vector<std::string>& items) {
    // Replacing the items of an editable combo box would put the first one into its edit
    // field; the path box keeps the text the user has.
    const QString text = m_cboFileName->currentText();
    QStringList list;
    list.reserve(static_cast<int>(items.size()));
    for (const std::string& item : items) {
        list.append(QString::fromStdString(item));
    }
    m_cboFileName->clear();
    m_cboFileName->addItems(list);
    m_cboFileName->setCurrentIndex(-1);
    m_cboFileName->setEditText(text);
}

void TfrmPellquin::UpdatePickList(const std::string& path) {
    std::vector<std::string> items = PickItems();
    pellquin::UpdatePickList(items, path);
    SetPickItems(items);
}

OptionsState TfrmPellquin::CurrentOptions() const {
    OptionsState options;
    options.promptOnClear = m_chkPromptClearConnection->isChecked();
    options.showDirectories = m_chkShowDirectoryNames->isChecked();
    options.directThenService = m_optDirectThenService->isChecked();
    options.directOnly = m_optDirectOnly->isChecked();
    options.serviceOnly = m_optServiceOnly->isChecked();
    options.clientRelative = m_optClientRelative->isChecked();
    options.serverRelative = m_optServerRelative->isChecked();
    return options;
}

DefaultsState TfrmPellquin::CurrentDefaults() const {
    const QRect frame = frameGeometry();
    DefaultsState defaults;
    defaults.windowLeft = frame.x();
    defaults.windowTop = frame.y();
    defaults.windowHeight = frame.height();
    defaults.windowWidth = frame.width();
    defaults.drivesWidth = DrivesWidth();
    defaults.doneFirstRun = m_doneFirstRun;
    return defaults;
}

void TfrmPellquin::LoadFavourites() {
    m_settings.LoadFavourites(m_favourites);
}

void TfrmPellquin::LoadOptions() {
    // The store assigns only the values it read; the others keep the controls' state.
    OptionsState options = CurrentOptions();
    m_settings.LoadOptions(options);
    // Applied one by one in stored order, so a later selection in a group wins, as it
    // would if each value were applied as it was read.
    m_chkPromptClearConnection->setChecked(options.promptOnClear);
    m_chkShowDirectoryNames->setChecked(options.showDirectories);
    SetSelected(m_optDirectThenService, options.directThenService);
    SetSelected(m_optDirectOnly, options.directOnly);
    SetSelected(m_optServiceOnly, options.serviceOnly);
    SetSelected(m_optClientRelative, options.clientRelative);
    SetSelected(m_optServerRelative, options.serverRelative);
}

void TfrmPellquin::SaveOptions() {
    m_settings.SaveOptions(CurrentOptions());
}

void TfrmPellquin::LoadDefaults() {
    const DefaultsState before = CurrentDefaults();
    // The store assigns the values it read, in stored order, and stops at the first it cannot
    // read; whatever it left unassigned keeps the window's current state.
    DefaultsState read{kUnread, kUnread, kUnread, kUnread, kUnread, kUnread};
    m_settings.LoadDefaults(read);
    const auto pick = [](int32_t value, int32_t current) {
        return value == kUnread ? current : value;
    };
    DefaultsState defaults;
    defaults.windowLeft = pick(read.windowLeft, before.windowLeft);
    defaults.windowTop = pick(read.windowTop, before.windowTop);
    defaults.windowHeight = pick(read.windowHeight, before.windowHeight);
    defaults.windowWidth = pick(read.windowWidth, before.windowWidth);
    defaults.drivesWidth = pick(read.drivesWidth, before.drivesWidth);
    defaults.doneFirstRun = pick(read.doneFirstRun, before.doneFirstRun);

    // Stored values are applied as they are, without any check against the screen. The
    // position is the frame's: before the window exists Qt places the frame there itself.
    move(defaults.windowLeft, defaults.windowTop);
    const int frameWidth = before.windowWidth - width();
    const int frameHeight = before.windowHeight - height();
    resize(defaults.windowWidth - frameWidth, defaults.windowHeight - frameHeight);
    // Before the window manager has framed the window (on X11 until it is mapped) its frame
    // reads as nothing, and a stored outer size would become the inner size: the window
    // would grow by its frame at every start. It is applied again once the frame is known.
    const bool storedSize = read.windowHeight != kUnread || read.windowWidth != kUnread;
    if (storedSize && frameWidth == 0 && frameHeight == 0) {
        m_storedFrame = QRect(defaults.windowLeft, defaults.windowTop, defaults.windowWidth,
                              defaults.windowHeight);
    } else {
        m_storedFrame.reset();
    }
    SetDrivesWidth(defaults.drivesWidth);
    m_doneFirstRun = defaults.doneFirstRun;
}

void TfrmPellquin::SaveDefaults() {
    m_settings.SaveDefaults(CurrentDefaults());
}

void TfrmPellquin::LoadPickList() {
    std::vector<std::string> items;
    m_settings.LoadPickList(items);
    SetPickItems(items);
}

void TfrmPellquin::SavePickList() {
    m_settings.SavePickList(PickItems());
}

void TfrmPellquin::SaveFavourites() {
    m_settings.SaveFavourites(m_favourites);
}

int TfrmPellquin::DrivesWidth() const {
    return m_drivesWidth;
}

void TfrmPellquin::SetDrivesWidth(int width) {
    m_drivesWidth = width;
    const QList<int> sizes = m_splitter->sizes();
    int total = 0;
    for (int size : sizes) {
        total += size;
    }
    m_splitter->setSizes({width, std::max(total - width, 1)});
}

}  // namespace pellquin
