#include "browser/path_browser.h"

#include <QAction>
#include <QDate>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QSplitter>
#include <QTreeView>
#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "browser/browser_images.h"
#include "browser/busy_cursor.h"
#include "browser/core/browser_logic.h"
#include "browser/core/browser_texts.h"
#include "browser/drive_tree.h"
#include "browser/file_list_model.h"
#include "browser/frm_add_fav.h"
#include "browser/frm_map_drive.h"
#include "browser/header_clicks.h"
#include "browser/keyboard_context_menu.h"

namespace pellquin {
namespace {

// Repainting of a widget suspended for a scope, resumed on every way out.
class SuspendedUpdates {
public:
    explicit SuspendedUpdates(QWidget* widget) : m_widget(widget) {
        m_widget->setUpdatesEnabled(false);
    }
    ~SuspendedUpdates() { m_widget->setUpdatesEnabled(true); }
    SuspendedUpdates(const SuspendedUpdates&) = delete;
    SuspendedUpdates& operator=(const SuspendedUpdates&) = delete;

private:
    QWidget* m_widget;
};

void Require(bool present, const char* what) {
    if (!present) {
        throw std::invalid_argument(std::string("The path browser was built without ") + what);
    }
}

bool IsPlaceholder(const QTreeWidgetItem* node) {
    return node != nullptr && ItemOf(node) == nullptr &&
           node->text(0) == QString::fromUtf8(kPlaceholderCaption);
}

}  // namespace

TPathBrowser::TPathBrowser(QSplitter* splitter, BrowserServices services, BrowserHost host,
                           Prompts& prompts)
    : QObject(splitter),
      m_services(std::move(services)),
      m_host(std::move(host)),
      m_prompts(prompts),
      m_images(MakeBrowserImages()),
      m_dateText([](const LocalTime& time) {
          return QLocale::system()
              .toString(QDate(time.year, time.month, time.day), QLocale::ShortFormat)
              .toStdString();
      }) {
    // A browser wired without one of these would show an empty tree or a dead button
    // instead of failing where the mistake is.
    Require(m_services.drives != nullptr, "a drive source");
    Require(m_services.directories != nullptr, "a directory lister");
    Require(m_services.mapper != nullptr, "a drive mapper");
    Require(m_host.setPathText && m_host.setStatusText && m_host.checkPath &&
                m_host.showDirectoryNames && m_host.favourites && m_host.saveFavourites,
            "every host function");

    m_tvwDrives = new DriveTree(splitter);
    m_tvwDrives->setObjectName("tvwDrives");
    m_tvwDrives->setAccessibleName("Drives and favourites");
    m_tvwDrives->setHeaderHidden(true);
    m_tvwDrives->setFont(QFont("Arial", 8));
    m_tvwDrives->setIndentation(19);
    m_tvwDrives->setIconSize(QSize(16, 16));
    m_tvwDrives->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tvwDrives->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tvwDrives->setContextMenuPolicy(Qt::CustomContextMenu);

    m_mnuDrives = new QMenu(m_tvwDrives);
    m_mnuDrives->setObjectName("mnuDrives");
    m_mnuDrives->setAccessibleName("Drive tree menu");
    m_mniCheck = m_mnuDrives->addAction("&Check");
    m_mniCheck->setObjectName("mniCheck");
    m_mniDeleteFavourite = m_mnuDrives->addAction("&Delete Favourite");
    m_mniDeleteFavourite->setObjectName("mniDeleteFavourite");
    connect(m_mniCheck, &QAction::triggered, this, &TPathBrowser::mniCheckClick);
    connect(m_mniDeleteFavourite, &QAction::triggered, this,
            &TPathBrowser::mniDeleteFavouriteClick);

    // The view also makes a node current without selecting it (when it takes the focus):
    // only a change of the selection counts.
    connect(m_tvwDrives, &QTreeWidget::itemSelectionChanged, this,
            [this] { tvwDrivesChange(m_tvwDrives->SelectedNode()); });
    connect(m_tvwDrives, &QTreeWidget::itemDoubleClicked, this, [this] { tvwDrivesDblClick(); });
    // Enter on "Add New Favourite" does what a double-click does: it opens the dialog again.
    m_tvwDrives->installEventFilter(this);
    connect(m_tvwDrives, &QTreeWidget::itemExpanded, this, &TPathBrowser::tvwDrivesExpanding);
    connect(m_tvwDrives, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // Where neither command applies (empty space, a root node, "Add New Favourite") no menu
        // opens: an empty one shows as a speck that nobody sees and that swallows the next
        // click.
        if (mnuDrivesPopup()) {
            m_mnuDrives->exec(m_tvwDrives->viewport()->mapToGlobal(at));
        }
    });
    KeyboardContextMenu::Attach(m_tvwDrives);

    m_lvwFiles = new QTreeView(splitter);
    m_lvwFiles->setObjectName("lvwFiles");
    m_lvwFiles->setAccessibleName("Files");
    m_files = new FileListModel(m_images, m_lvwFiles);
    m_lvwFiles->setModel(m_files);
    m_lvwFiles->setFrameShape(QFrame::NoFrame);
    m_lvwFiles->setFont(QFont("Arial", 8));
    m_lvwFiles->setRootIsDecorated(false);
    m_lvwFiles->setItemsExpandable(false);
    m_lvwFiles->setUniformRowHeights(true);
    m_lvwFiles->setAllColumnsShowFocus(true);
    m_lvwFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lvwFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lvwFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvwFiles->setIconSize(QSize(16, 16));
    QHeaderView* header = m_lvwFiles->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    int widths[kFileColumnCount] = {150, 70, 115, 115, 115};
    // The date columns at least as wide as a long time stamp in the system's date format and
    // the list's font: the laid-out pixels cut "10 Dec 2026 10:03 am" at many fonts.
    {
        const QFontMetrics metrics(m_lvwFiles->font());
        const std::string widest =
            TimeStampFormatter(m_dateText).Text(LocalTime{2026, 12, 28, 10, 58, 58});
        const int needed = metrics.horizontalAdvance(QString::fromStdString(widest)) +
                           metrics.averageCharWidth() * 3;
        for (int c : {kFileColumnModified, kFileColumnAccessed, kFileColumnCreated}) {
            widths[c] = std::max(widths[c], needed);
        }
    }
    for (int c = 0; c < kFileColumnCount; ++c) {
        header->resizeSection(c, widths[c]);
    }
    HeaderClicks::Connect(header, [this](int column) { lvwFilesColumnClick(column); });
    connect(m_lvwFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!selected.isEmpty()) {
                    lvwFilesSelectItem();
                }
            });
    // Not `activated`: some styles activate on a single click, and it also comes with every
    // double-click. Enter on a selected item does what a double-click does.
    connect(m_lvwFiles, &QAbstractItemView::doubleClicked, this, [this] { lvwFilesDblClick(); });
    m_lvwFiles->installEventFilter(this);
    // The header is mouse-only, so the list's context menu (Menu key or Shift+F10) sorts too.
    m_lvwFiles->setContextMenuPolicy(Qt::ActionsContextMenu);
    KeyboardContextMenu::Attach(m_lvwFiles);
    for (int c = 0; c < kFileColumnCount; ++c) {
        const QString caption = m_files->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        auto* sort = new QAction("Sort by " + caption, m_lvwFiles);
        sort->setObjectName(QString("mniSortFiles%1").arg(c));
        connect(sort, &QAction::triggered, this, [this, c] { lvwFilesColumnClick(c); });
        m_lvwFiles->addAction(sort);
    }

    m_frmAddFav = new TfrmAddFav(m_prompts, m_services.folders.get(), splitter->window());
}

TPathBrowser::~TPathBrowser() = default;

bool TPathBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return QObject::eventFilter(watched, event);
    }
    // Enter that has nothing to act on here goes on to the window's default button (Check).
    if (watched == m_lvwFiles && m_lvwFiles->selectionModel()->hasSelection()) {
        lvwFilesDblClick();
        return true;
    }
    const driveitem* item = ItemOf(m_tvwDrives->SelectedNode());
    if (watched == m_tvwDrives && item != nullptr && item->kind == kKindAddFavourite) {
        tvwDrivesDblClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TPathBrowser::SetStatus(const std::string& text) {
    m_host.setStatusText(text);
}

QTreeWidgetItem* TPathBrowser::AddNode(QTreeWidgetItem* parent, const NodeOutline& outline) {
    auto* node = new DriveNode(QString::fromStdString(outline.caption), m_images[outline.image],
                               outline.item);
    if (parent != nullptr) {
        parent->addChild(node);
    } else {
        m_tvwDrives->addTopLevelItem(node);
    }
    if (outline.item.kind == kKindPath) {
        node->addChild(new DriveNode(kPlaceholderCaption, QIcon(), std::nullopt));
    }
    return node;
}

void TPathBrowser::LoadDrives() {
    m_favouritesRoot = nullptr;
    m_tvwDrives->clear();
    m_selectedNode = nullptr;
    QTreeWidgetItem* drives = AddNode(
        nullptr, NodeOutline{kDrivesCaption, kImageComputer, driveitem{"", "", kKindGroup, 0}});
    m_favouritesRoot = AddNode(nullptr, NodeOutline{kFavouritesCaption, kImageComputerGlobe,
                                                    driveitem{"", "", kKindGroup, 0}});
    AddNode(m_favouritesRoot, NodeOutline{kAddFavouriteCaption, kImageComputerGlobe,
                                          driveitem{"", "", kKindAddFavourite, 0}});
    for (const NodeOutline& outline : DriveNodes(m_services.drives->Drives())) {
        AddNode(drives, outline);
    }
    for (const std::string& entry : m_host.favourites()) {
        AddNode(m_favouritesRoot, FavouriteNode(entry));
    }
    drives->setExpanded(true);
}

void TPathBrowser::tvwDrivesChange(QTreeWidgetItem* node) {
    // Selecting the node that is selected already is no change.
    if (node == m_selectedNode) {
        return;
    }
    m_selectedNode = node;
    const driveitem* item = ItemOf(node);
    if (item == nullptr) {
        return;
    }
    if (item->kind == kKindAddFavourite) {
        AddFavourite();
        return;
    }
    LoadFileList(node);
}

void TPathBrowser::tvwDrivesDblClick() {
    const driveitem* item = ItemOf(m_tvwDrives->SelectedNode());
    if (item != nullptr && item->kind == kKindAddFavourite) {
        AddFavourite();
    }
}

void TPathBrowser::tvwDrivesExpanding(QTreeWidgetItem* node) {
    if (node == nullptr || node->childCount() == 0 || !IsPlaceholder(node->child(0))) {
        return;
    }
    const bool loaded = LoadDirectories(node);
    // The placeholder goes before any box: "Working..." stays in view only while it works.
    delete node->takeChild(0);
    node->setExpanded(true);
    if (!loaded) {
        m_tvwDrives->viewport()->repaint();
        const driveitem* item = ItemOf(node);
        m_prompts.ShowError(kCannotFindDirectory + (item != nullptr ? item->path : std::string()));
    }
}

bool TPathBrowser::LoadDirectories(QTreeWidgetItem* node) {
    BusyCursor cursor;
    m_tvwDrives->window()->repaint();
    const driveitem* item = ItemOf(node);
    if (item != nullptr && item->kind == kKindPath) {
        const std::string path = item->path;
        const auto names = SubdirectoryNames(*m_services.directories, path,
                                             [this](const std::string& text) { SetStatus(text); });
        if (!names) {
            SetStatus(std::string());
            return false;
        }
        for (const std::string& name : *names) {
            AddNode(node, DirectoryNode(path, name));
        }
    }
    SetStatus(std::string());
    return true;
}

void TPathBrowser::LoadFileList(QTreeWidgetItem* node) {
    BusyCursor cursor;
    m_tvwDrives->window()->repaint();
    const driveitem* item = ItemOf(node);
    const std::string path = item != nullptr ? item->path : std::string();
    m_host.setPathText(path);
    {
        SuspendedUpdates suspended(m_lvwFiles);
        m_files->Clear();
        if (item != nullptr && item->kind == kKindPath) {
            const bool showDirectories = m_host.showDirectoryNames();
            auto items = ListFileItems(*m_services.directories, path, showDirectories, m_dateText,
                                       [this](const std::string& text) { SetStatus(text); });
            if (!items) {
                cursor.Restore();
                SetStatus(std::string());
                m_prompts.ShowError(kCannotFindDirectory + path);
                return;
            }
            m_files->SetItems(std::move(*items));
        }
    }
    // Whatever column was clicked before, a new listing is by name, ascending.
    m_files->Sort(kFileColumnName);
    SetStatus(std::string());
}

void TPathBrowser::AddFavourite() {
    m_frmAddFav->txtPath()->clear();
    m_frmAddFav->txtDescription()->clear();
    if (m_frmAddFav->exec() != QDialog::Accepted || m_favouritesRoot == nullptr) {
        return;
    }
    const std::string description = m_frmAddFav->txtDescription()->text().toStdString();
    const std::string path = m_frmAddFav->txtPath()->text().toStdString();
    NodeOutline outline;
    outline.caption = description;
    outline.image = kImageNetworkDrive;
    outline.item = driveitem{path, description, kKindPath, 1};
    AddNode(m_favouritesRoot, outline);
    m_host.favourites().push_back(FavouriteEntry(description, path));
    m_host.saveFavourites();
}

bool TPathBrowser::mnuDrivesPopup() {
    // A selection made by the right-button press completes first.
    QCoreApplication::processEvents();
    const PopupItems items = PopupItemsFor(ItemOf(m_tvwDrives->SelectedNode()));
    m_mniCheck->setVisible(items.check);
    m_mniDeleteFavourite->setVisible(items.deleteFavourite);
    return items.check || items.deleteFavourite;
}

void TPathBrowser::mniCheckClick() {
    m_host.checkPath();
}

void TPathBrowser::mniDeleteFavouriteClick() {
    QTreeWidgetItem* node = m_tvwDrives->SelectedNode();
    const driveitem* item = ItemOf(node);
    if (item == nullptr || item->favourite != 1) {
        return;
    }
    if (!m_prompts.AskYesNo(kDeleteFavouriteQuestion + item->name)) {
        return;
    }
    // The favourites follow "Add New Favourite" in the order of the stored list.
    const int place = m_favouritesRoot != nullptr ? m_favouritesRoot->indexOfChild(node) - 1 : -1;
    RemoveFavourite(m_host.favourites(), place < 0 ? SIZE_MAX : static_cast<size_t>(place), *item);
    m_host.saveFavourites();
    // Nothing is selected afterwards: the view would otherwise select the current node's
    // neighbour, and "Add New Favourite" as that neighbour would open its dialog.
    m_tvwDrives->clearSelection();
    m_tvwDrives->setCurrentItem(nullptr);
    m_selectedNode = nullptr;
    delete node;
}

void TPathBrowser::cmdMapDriveClick() {
    DriveMapper& mapper = *m_services.mapper;
    if (!mapper.ShowSystemDialog(m_tvwDrives->window()->winId())) {
        const std::string missing = mapper.Missing();
        if (!missing.empty()) {
            m_prompts.ShowError(missing);
        } else {
            TfrmMapDrive dialog(m_tvwDrives->window());
            if (dialog.exec() == QDialog::Accepted) {
                BusyCursor cursor;
                const std::string error = mapper.Map(dialog.Share());
                cursor.Restore();
                if (!error.empty()) {
                    m_prompts.ShowError(error);
                }
            }
        }
    }
    LoadDrives();
}

void TPathBrowser::lvwFilesColumnClick(int column) {
    m_files->Sort(m_sortState.ColumnClick(column));
    m_files->SetMarkedColumn(m_sortState.MarkedColumn());
}

void TPathBrowser::lvwFilesSelectItem() {
    const QModelIndexList rows = m_lvwFiles->selectionModel()->selectedRows();
    const driveitem* item = ItemOf(m_tvwDrives->SelectedNode());
    if (rows.isEmpty() || item == nullptr) {
        return;
    }
    const FileItem& file = m_files->Items()[static_cast<size_t>(rows.first().row())];
    m_host.setPathText(WithTrailingSeparator(item->path) + file.caption);
}

void TPathBrowser::lvwFilesDblClick() {
    const QModelIndexList rows = m_lvwFiles->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    const FileItem file = m_files->Items()[static_cast<size_t>(rows.first().row())];
    if (file.tag == kTagFile) {
        m_host.checkPath();
        return;
    }
    QTreeWidgetItem* node = m_tvwDrives->SelectedNode();
    if (node == nullptr) {
        return;
    }
    if (!node->isExpanded()) {
        node->setExpanded(true);
        QCoreApplication::processEvents();
    }
    const QString caption = QString::fromStdString(file.caption);
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        if (child->text(0) == caption) {
            m_tvwDrives->setCurrentItem(child);
            return;
        }
    }
}

}  // namespace pellquin
