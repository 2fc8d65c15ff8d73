#include "app/frm_pellquin.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <exception>
#include <limits>
#include <stdexcept>
#include <utility>

#include "app/auto_refresh.h"
#include "app/frm_status.h"
#include "app/named_widgets.h"
#include "app/options_page.h"
#include "app/path_page.h"
#include "app/users_page.h"
#include "browser/busy_cursor.h"
#include "browser/path_browser.h"
#include "help/html_help_system.h"
#include "platform/smb_url.h"
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

// A window wired without one of its services is a programming error, told at once.
void Require(bool present, const char* member) {
    if (!present) {
        throw std::invalid_argument(std::string("The main window was built without ") + member);
    }
}

template <typename T>
T& Required(T* service, const char* member) {
    Require(service != nullptr, member);
    return *service;
}

}  // namespace

TfrmPellquin::TfrmPellquin(WindowServices services, QWidget* parent)
    : QMainWindow(parent),
      m_modPQ(Required(services.modPQ, "modPQ")),
      m_settings(Required(services.settings, "settings")),
      m_pathProbe(Required(services.pathProbe, "pathProbe")),
      m_prompts(Required(services.prompts, "prompts")),
      m_contextMenus(Required(services.contextMenus, "contextMenus")),
      m_help(Required(services.help, "help")),
      m_geometry(*this) {
    Require(services.frmAbout != nullptr, "frmAbout");
    Require(services.serviceParts.manager != nullptr, "serviceParts.manager");
    Require(services.serviceParts.files != nullptr, "serviceParts.files");
    Require(services.serviceParts.viewer != nullptr, "serviceParts.viewer");
    // Centred over the window and deleted with it.
    m_frmAbout = services.frmAbout.release();
    m_frmAbout->setParent(this, m_frmAbout->windowFlags());
    setObjectName("frmPellquin");
    setWindowTitle(QString::fromUtf8(kProductName));
    setAccessibleName(QString::fromUtf8(kProductName));
    setFont(QFont("MS Sans Serif", 8));

    BuildMenus();
    // The clearing pop-up, over the window when the users page clears.
    m_frmStatus = new TfrmStatus(this);

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
    BrowserHost browserHost;
    browserHost.setStatusText = [this](const std::string& text) { SetStatusText(text.c_str()); };
    browserHost.checkPath = [this] { CheckPath(); };
    browserHost.showDirectoryNames = [this] { return m_options->ShowDirectoryNames(); };
    browserHost.favourites = [this]() -> std::vector<std::string>& { return m_favourites; };
    browserHost.saveFavourites = [this] { SaveFavourites(); };
    m_path = new PathPage(std::move(services.browserServices), std::move(browserHost), m_prompts);
    m_pagPellquin->addTab(m_path, "&Path/File");
    UsersPageHost usersHost;
    usersHost.closeConnection = [this](uint32_t id) { return CloseConnection(id); };
    usersHost.confirmClear = [this] { return m_options->PromptOnClear(); };
    usersHost.refresh = [this] { CheckPath(); };
    m_users = new UsersPage(std::move(usersHost), m_prompts, *m_frmStatus);
    m_pagPellquin->addTab(m_users, "&Users");
    m_serviceTab = new ServiceControlTab(std::move(services.serviceParts), m_modPQ.NetFiles(),
                                         m_modPQ.System(), m_prompts);
    m_pagPellquin->addTab(m_serviceTab, "&Service Control");
    m_options = new OptionsPage(m_settings, m_contextMenus);
    m_pagPellquin->addTab(m_options, "&Options");
    column->addWidget(m_pagPellquin, 1);
    setCentralWidget(central);
    // Tab switches repaint the whole window, not just the page.
    connect(m_pagPellquin, &QTabWidget::currentChanged, this, [this] { repaint(); });

    auto* statusBar = Named(new QStatusBar(this), "StatusBar1", "Status");
    statusBar->setFixedHeight(kStatusBarHeight);
    statusBar->setSizeGripEnabled(false);
    setStatusBar(statusBar);
    auto* rowCount = Named(new QLabel(statusBar), "lblRowCount", "Rows");
    statusBar->addPermanentWidget(rowCount);
    connect(m_users, &UsersPage::rowCountsChanged, rowCount, [rowCount](int total, int shown) {
        rowCount->setText(total == shown ? QString("%1 rows").arg(total)
                                         : QString("%1 of %2 rows shown").arg(shown).arg(total));
    });

    // Auto refresh waits while anything else has the user's attention or walks the list.
    m_autoRefresh = new AutoRefresh([this] { CheckPath(); },
                                    [this] {
                                        return m_checking || m_users->IsClearing() ||
                                               m_frmStatus->isVisible() ||
                                               QApplication::activeModalWidget() != nullptr ||
                                               QApplication::activePopupWidget() != nullptr ||
                                               m_pagPellquin->currentWidget() != m_users;
                                    },
                                    this);
    m_autoRefresh->setObjectName("autoRefresh");
    connect(m_options, &OptionsPage::autoRefreshChanged, this,
            [this] { m_autoRefresh->SetSeconds(m_options->AutoRefreshSeconds()); });
    // The message is painted, not held by a child: without its name following the message,
    // a screen reader would only ever read "Status", never "Getting Data" or "Finished".
    connect(statusBar, &QStatusBar::messageChanged, statusBar, [statusBar](const QString& text) {
        statusBar->setAccessibleName(text.isEmpty() ? QString("Status") : text);
    });

    m_timer = new QTimer(this);
    m_timer->setObjectName("Timer1");
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, m_serviceTab, &ServiceControlTab::Timer1Timer);
    m_timer->start();

    // The client area below the menu bar is 803 by 496, as a Windows client area excludes
    // its menu bar.
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    move(kInitialLeft, kInitialTop);

    // F1 anywhere in this window asks for its help context; other windows have none.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setObjectName("shortcutHelpContext");
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] {
        bool callHelp = true;
        m_help.ApplicationEvents1Help(kHelpContext, kMainWindowHelpContext, &callHelp);
    });
    // An open menu takes the keys; its items carry no help context.
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        menu->installEventFilter(this);
    }
}

TfrmPellquin::~TfrmPellquin() = default;

void TfrmPellquin::Start(std::vector<std::string> arguments) {
    m_arguments = std::move(arguments);
    // The settings load before the window exists on screen, so that it appears at its stored
    // place, framed as the window manager frames it.
    FormShow();
    show();
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
    m_help.LoadHtmlHelp();
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
        m_contextMenus.InstallContextMenus();
    }
    m_doneFirstRun = 1;

    if (!m_arguments.empty() && !m_arguments.front().empty()) {
        m_path->SetPathText(m_arguments.front());
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

void TfrmPellquin::PellquinHelp1Click() {
    m_help.ShowHtmlHelp(kHelpTableOfContents, 0);
}

void TfrmPellquin::LoadDrives() {
    m_path->browser().LoadDrives();
}

void TfrmPellquin::About2Click() {
    m_frmAbout->exec();
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

void TfrmPellquin::SetStatusText(const char* text) {
    statusBar()->showMessage(QString::fromUtf8(text));
    statusBar()->repaint();
}

void TfrmPellquin::CheckPath() {
    // A check cannot start from inside another one (for example from a box it shows).
    if (m_checking) {
        return;
    }
    // An smb:// URL (as file managers pass network folders) is shown and kept as its UNC name.
    const std::string text = PathFromTypedText(m_path->PathText());
    if (text != m_path->PathText()) {
        m_path->SetPathText(text);
    }
    if (text.empty()) {
        m_prompts.ShowError("Select a file, directory or drive to check");
        return;
    }
    std::string doubt;
    if (!m_pathProbe.IsFile(text) && !m_pathProbe.IsDirectory(text)) {
        const ProbeDoubt why = m_pathProbe.LastDoubt();
        if (why.kind == ProbeDoubt::Kind::None) {
            m_prompts.ShowError(text + " Does not appear to be a valid file or directory");
            return;
        }
        // The probe was not let in, which says nothing about the path: the query mechanisms
        // may still answer (the service has its own rights), and a failure says why first.
        doubt = ProbeDoubtText(text, why);
    }
    CheckingMark mark(m_checking);
    BusyCursor cursor;
    repaint();

    TPellquinRequest request;
    request.ClientPath = text;
    request.Path = text;
    request.RequestKind = REQUEST_QUERY;
    SetStatusText("Getting Data");
    const int tryDirect = m_options->TryDirect();
    const int tryService = m_options->TryService();

    SetStatusText("Clearing Previous Results");
    m_users->ClearRows();

    try {
        m_modPQ.QueryOpenFiles(request, tryDirect, tryService);
    } catch (const std::exception& e) {
        // A reply cut short: shown as any unexpected failure is, and the window carries on.
        cursor.Restore();
        SetStatusText("Finished");
        m_prompts.ShowError(e.what());
        return;
    }
    if (!request.ErrorText.empty()) {
        cursor.Restore();
        m_prompts.ShowError(doubt.empty() ? request.ErrorText
                                          : doubt + "\r\n\r\n" + request.ErrorText);
        SetStatusText("Finished");
        return;
    }
    UpdatePickList(text);

    SetStatusText("Filling List");
    m_users->ShowRows(MakeResultRows(request, m_options->ServerRelative()));
    SetStatusText("Finished");
    cursor.Restore();
    m_pagPellquin->setCurrentWidget(m_users);
}

std::string TfrmPellquin::CloseConnection(uint32_t id) {
    TPellquinRequest request;
    request.ClientPath = m_path->PathText();
    request.Path = request.ClientPath;
    request.RequestKind = REQUEST_CLOSE;
    request.FileId = id;
    m_modPQ.CloseOpenFile(request, m_options->TryDirect(), m_options->TryService());
    return request.ErrorText;
}

void TfrmPellquin::CopyResultstoClipboard1Click() {
    QApplication::clipboard()->setText(QString::fromStdString(ResultsText(m_users->ShownRows())));
}

void TfrmPellquin::lvwItemsColumnClick(int column) {
    m_users->lvwItemsColumnClick(column);
}

void TfrmPellquin::Exit1Click() {
    close();
}

bool TfrmPellquin::event(QEvent* event) {
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
        event->type() == QEvent::Show) {
        m_geometry.Settle();
    }
    // Hovering a menu item sends an (empty) status tip that would wipe the progress text;
    // the status bar shows only what the commands write into it.
    if (event->type() == QEvent::StatusTip) {
        return true;
    }
    return QMainWindow::event(event);
}

bool TfrmPellquin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
        qobject_cast<QMenu*>(watched)) {
        bool callHelp = true;
        m_help.ApplicationEvents1Help(kHelpContext, 0, &callHelp);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmPellquin::keyPressEvent(QKeyEvent* event) {
    // Enter that no control took presses the window's default button, the lower "Check",
    // but only while its page is showing: Enter on another page must not start a check.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        m_path->DefaultButton()->isVisible()) {
        LMDButton1Click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TfrmPellquin::UpdatePickList(const std::string& path) {
    m_path->UpdatePickList(path);
}

DefaultsState TfrmPellquin::CurrentDefaults() const {
    const QRect frame = m_geometry.OuterBounds();
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
    m_options->LoadOptions();
}

void TfrmPellquin::SaveOptions() {
    m_options->SaveOptions();
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

    const bool storedSize = read.windowHeight != kUnread || read.windowWidth != kUnread;
    m_geometry.SetOuterBounds(defaults.windowLeft, defaults.windowTop, defaults.windowWidth,
                              defaults.windowHeight, storedSize);
    SetDrivesWidth(defaults.drivesWidth);
    m_doneFirstRun = defaults.doneFirstRun;
}

void TfrmPellquin::SaveDefaults() {
    m_settings.SaveDefaults(CurrentDefaults());
}

void TfrmPellquin::LoadPickList() {
    std::vector<std::string> items;
    m_settings.LoadPickList(items);
    m_path->SetPickItems(items);
}

void TfrmPellquin::SavePickList() {
    m_settings.SavePickList(m_path->PickItems());
}

void TfrmPellquin::SaveFavourites() {
    m_settings.SaveFavourites(m_favourites);
}

int TfrmPellquin::DrivesWidth() const {
    return m_path->DrivesWidth();
}

void TfrmPellquin::SetDrivesWidth(int width) {
    m_path->SetDrivesWidth(width);
}

TPathBrowser& TfrmPellquin::browser() {
    return m_path->browser();
}

}  // namespace pellquin