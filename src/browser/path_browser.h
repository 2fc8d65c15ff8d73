#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <string>

#include "browser/browser_services.h"
#include "browser/core/browser_texts.h"
#include "browser/core/drive_item.h"
#include "browser/core/file_sort.h"
#include "prompts/prompts.h"

class QAction;
class QMenu;
class QSplitter;
class QTreeView;
class QTreeWidgetItem;

namespace pellquin {

class DriveTree;
class FileListModel;
class TfrmAddFav;
class TfrmMapDrive;

// The path browser of the "Path/File" tab: the drive and favourites tree tvwDrives, the
// file list lvwFiles, the tree's pop-up menu mnuDrives, the add-favourite dialog and "Map
// Drive". Everything runs on the GUI thread and blocks while a directory is read.
class TPathBrowser : public QObject {
    Q_OBJECT
public:
    // Adds tvwDrives and lvwFiles to `splitter`. `prompts` is borrowed and must outlive the
    // browser; the services are owned. Throws std::invalid_argument when a required service
    // (see BrowserServices) or a host function is missing.
    TPathBrowser(QSplitter* splitter, BrowserServices services, BrowserHost host, Prompts& prompts);
    ~TPathBrowser() override;

    DriveTree* tvwDrives() const { return m_tvwDrives; }
    QTreeView* lvwFiles() const { return m_lvwFiles; }
    QMenu* mnuDrives() const { return m_mnuDrives; }
    TfrmAddFav* frmAddFav() const { return m_frmAddFav; }
    // The "Favourite Paths" node of the current tree.
    QTreeWidgetItem* FavouritesRoot() const { return m_favouritesRoot; }

    // Clears the tree and builds it anew from the drives present and the favourites list.
    void LoadDrives();
    // Adds the sub-directories of a path node as children, each with its placeholder. False,
    // with nothing added and the status text cleared, when the path cannot be read.
    bool LoadDirectories(QTreeWidgetItem* node);
    // Fills the file list for a node and puts its path into the path box.
    void LoadFileList(QTreeWidgetItem* node);
    // Runs the add-favourite dialog and, on OK, adds and saves the favourite.
    void AddFavourite();

    // Events.
    void tvwDrivesChange(QTreeWidgetItem* node);
    void tvwDrivesDblClick();
    void tvwDrivesExpanding(QTreeWidgetItem* node);
    // Shows the commands that apply to the selected node; false when none does.
    bool mnuDrivesPopup();
    void mniCheckClick();
    void mniDeleteFavouriteClick();
    void cmdMapDriveClick();
    void lvwFilesColumnClick(int column);
    void lvwFilesSelectItem();
    void lvwFilesDblClick();

    // The dates of the time-stamp texts by a pattern (see PatternDateText) instead of the
    // system's short date format.
    void SetShortDateFormat(const std::string& pattern) { m_dateText = PatternDateText(pattern); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const NodeOutline& outline);
    void SetStatus(const std::string& text);

    BrowserServices m_services;
    BrowserHost m_host;
    Prompts& m_prompts;
    QList<QIcon> m_images;
    DateTextFunction m_dateText;
    FileSortState m_sortState;

    DriveTree* m_tvwDrives = nullptr;
    QTreeView* m_lvwFiles = nullptr;
    FileListModel* m_files = nullptr;
    QMenu* m_mnuDrives = nullptr;
    QAction* m_mniCheck = nullptr;
    QAction* m_mniDeleteFavourite = nullptr;
    TfrmAddFav* m_frmAddFav = nullptr;
    QTreeWidgetItem* m_favouritesRoot = nullptr;
    QTreeWidgetItem* m_selectedNode = nullptr;  // the node the last selection change went to
};

}  // namespace pellquin
