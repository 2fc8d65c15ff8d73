#include "app/users_page.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <utility>

#include "app/frm_status.h"
#include "app/named_widgets.h"
#include "app/results_filter_bar.h"
#include "app/results_model.h"
#include "browser/header_clicks.h"
#include "browser/keyboard_context_menu.h"
#include "query/result_format.h"
#include "query/row_filter.h"
#include "query/rows_export.h"

namespace pellquin {
namespace {

// Marks a clear as running for as long as it is in scope.
class ClearingMark {
public:
    explicit ClearingMark(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ClearingMark() { m_flag = false; }
    ClearingMark(const ClearingMark&) = delete;
    ClearingMark& operator=(const ClearingMark&) = delete;

private:
    bool& m_flag;
};

}  // namespace

UsersPage::UsersPage(UsersPageHost host, Prompts& prompts, TfrmStatus& status)
    : m_host(std::move(host)), m_prompts(prompts), m_status(status) {
    Named(this, "tabUsers", "Users");
    auto* layout = new QVBoxLayout(this);

    m_filterBar = new ResultsFilterBar(this);
    connect(m_filterBar, &ResultsFilterBar::changed, this, &UsersPage::ApplyFilter);
    layout->addWidget(m_filterBar);
    m_chooseExportFile = [this] {
        return QFileDialog::getSaveFileName(this, "Export", QString(),
                                            "CSV (*.csv);;JSON (*.json)");
    };

    m_lvwItems = Named(new QTreeView(this), "lvwItems", "Open files");
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
    // Paths on one server share their beginning; the end tells them apart.
    m_lvwItems->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = m_lvwItems->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    const int widths[kResultColumnCount] = {50, 200, 150, 50, 100};
    for (int c = 0; c < kResultColumnCount; ++c) {
        header->resizeSection(c, widths[c]);
    }
    HeaderClicks::Connect(header, [this](int column) { lvwItemsColumnClick(column); });
    // The header is mouse-only; the list's context menu (Menu key or Shift+F10) sorts too.
    m_lvwItems->setContextMenuPolicy(Qt::ActionsContextMenu);
    KeyboardContextMenu::Attach(m_lvwItems);
    for (int c = 0; c < kResultColumnCount; ++c) {
        const QString caption =
            m_results->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        auto* sort = new QAction("Sort by " + caption, m_lvwItems);
        sort->setObjectName(QString("mniSortColumn%1").arg(c));
        connect(sort, &QAction::triggered, this, [this, c] { lvwItemsColumnClick(c); });
        m_lvwItems->addAction(sort);
    }
    auto* clearUser = new QAction("Clear rows of this &user", m_lvwItems);
    clearUser->setObjectName("mniClearUserRows");
    connect(clearUser, &QAction::triggered, this, &UsersPage::ClearRowsOfCurrentUser);
    m_lvwItems->addAction(clearUser);
    layout->addWidget(m_lvwItems, 1);

    auto* buttonRow = new QHBoxLayout;
    QPushButton* refresh = Button("&Refresh", "cmdRefresh", "Refresh", this);
    QPushButton* clear = Button("C&lear", "cmdClear", "Clear selected connections", this);
    QPushButton* clearAll = Button("Clear &All", "cmdClearAll", "Clear all connections", this);
    connect(refresh, &QPushButton::clicked, this, [this] { m_host.refresh(); });
    connect(clear, &QPushButton::clicked, this, &UsersPage::ClearSelectedConnections);
    connect(clearAll, &QPushButton::clicked, this, &UsersPage::ClearAllConnections);
    QPushButton* exportRows = Button("E&xport...", "cmdExport", "Export the shown rows", this);
    connect(exportRows, &QPushButton::clicked, this, &UsersPage::ExportShownRows);
    buttonRow->addWidget(exportRows);
    buttonRow->addStretch(1);
    buttonRow->addWidget(refresh);
    buttonRow->addWidget(clear);
    buttonRow->addWidget(clearAll);
    layout->addLayout(buttonRow);

    setTabOrder(m_filterBar->Edit(), m_lvwItems);
    setTabOrder(m_lvwItems, exportRows);
    setTabOrder(exportRows, refresh);
    setTabOrder(refresh, clear);
    setTabOrder(clear, clearAll);
}

void UsersPage::ClearRows() {
    m_lvwItems->setUpdatesEnabled(false);
    m_results->Clear();
    emit rowCountsChanged(0, 0);
    m_sortColumn = -1;
    m_lvwItems->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_lvwItems->setUpdatesEnabled(true);
}

void UsersPage::ShowRows(std::vector<ResultRow> rows) {
    m_lvwItems->setUpdatesEnabled(false);
    m_results->SetRows(std::move(rows));
    ApplyFilter();
    FitColumnsOnce();
    m_lvwItems->setUpdatesEnabled(true);
}

void UsersPage::FitColumnsOnce() {
    if (m_columnsFitted || m_results->rowCount() == 0) {
        return;
    }
    m_columnsFitted = true;
    // The first rows decide: wide enough for what they hold (ids of ten digits, a user's
    // domain name), never narrower than the laid-out width, and capped so that one long name
    // cannot push the other columns out of sight. The user's own widths are kept afterwards.
    // Measured from the texts, not from the view: the page may still be hidden, and a hidden
    // view sizes its columns from no rows at all.
    QHeaderView* header = m_lvwItems->header();
    const QFontMetrics metrics(m_lvwItems->font());
    const int padding =
        2 * m_lvwItems->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_lvwItems) +
        metrics.averageCharWidth() * 2;
    // Half the window: the list itself has no laid-out width while its page is hidden.
    const int cap = std::max(window()->width() / 2, 200);
    const std::vector<ResultRow>& rows = m_results->Rows();
    const size_t sampled = std::min<size_t>(rows.size(), 500);
    for (int c = 0; c < kResultColumnCount; ++c) {
        int fitted = header->sectionSizeHint(c);
        for (size_t r = 0; r < sampled; ++r) {
            fitted = std::max(
                fitted,
                metrics.horizontalAdvance(QString::fromStdString(rows[r].cells[c])) + padding);
        }
        const int laidOut = header->sectionSize(c);
        header->resizeSection(c, std::min(std::max(laidOut, fitted), std::max(cap, laidOut)));
    }
}

const std::vector<ResultRow>& UsersPage::Rows() const {
    return m_results->Rows();
}

void UsersPage::ClearSelectedConnections() {
    QItemSelectionModel* selection = m_lvwItems->selectionModel();
    if (!selection->hasSelection()) {
        m_prompts.Beep();
        m_prompts.ShowMessage("Select User(s) to Clear");
        return;
    }
    ClearingMark mark(m_clearing);
    try {
        // The count is read at every step; the list itself changes only at the refresh.
        for (int row = 0; row < m_results->rowCount(); ++row) {
            if (!selection->isRowSelected(row, QModelIndex()) ||
                m_lvwItems->isRowHidden(row, QModelIndex())) {
                continue;
            }
            const uint32_t id = ParseIdText(m_results->Rows()[row].cells[kColumnId]);
            if (m_host.confirmClear() &&
                !m_prompts.AskYesNo("Clear Connection " + IdText(id) + "?")) {
                continue;
            }
            const std::string error = m_host.closeConnection(id);
            if (!error.empty()) {
                m_prompts.ShowError(error);
            }
        }
    } catch (const std::exception& e) {
        m_prompts.ShowError(e.what());
        return;
    }
    m_host.refresh();
}

void UsersPage::ClearAllConnections() {
    ClearingMark mark(m_clearing);
    const int hidden = HiddenRowCount();
    // Clear All clears every row; when the filter hides some, the question says so.
    const std::string question =
        hidden == 0 ? std::string("Clear All Connections ?")
                    : "Clear All Connections ?\r\n\r\nThis includes " + std::to_string(hidden) +
                          (hidden == 1 ? " connection" : " connections") + " the filter hides.";
    if (m_host.confirmClear() && !m_prompts.AskYesNo(question)) {
        return;
    }
    m_status.ShowOver(window());
    try {
        for (int row = 0; row < m_results->rowCount(); ++row) {
            const uint32_t id = ParseIdText(m_results->Rows()[row].cells[kColumnId]);
            m_status.SetStep(QString::fromStdString("Clearing Connection " + IdText(id)));
            const std::string error = m_host.closeConnection(id);
            if (!error.empty()) {
                m_prompts.ShowError(error);
                break;
            }
        }
    } catch (const std::exception& e) {
        m_status.hide();
        m_prompts.ShowError(e.what());
        return;
    }
    m_status.SetStep("Refreshing List", false);
    m_host.refresh();
    m_status.hide();
}

std::vector<ResultRow> UsersPage::ShownRows() const {
    std::vector<ResultRow> shown;
    for (int row = 0; row < m_results->rowCount(); ++row) {
        if (!m_lvwItems->isRowHidden(row, QModelIndex())) {
            shown.push_back(m_results->Rows()[row]);
        }
    }
    return shown;
}

void UsersPage::ApplyFilter() {
    const RowFilter filter = m_filterBar->Filter();
    for (int row = 0; row < m_results->rowCount(); ++row) {
        m_lvwItems->setRowHidden(row, QModelIndex(), !filter.Matches(m_results->Rows()[row]));
    }
    emit rowCountsChanged(m_results->rowCount(), m_results->rowCount() - HiddenRowCount());
}

int UsersPage::HiddenRowCount() const {
    int hidden = 0;
    for (int row = 0; row < m_results->rowCount(); ++row) {
        hidden += m_lvwItems->isRowHidden(row, QModelIndex()) ? 1 : 0;
    }
    return hidden;
}

void UsersPage::ClearRowsOfCurrentUser() {
    const QModelIndex current = m_lvwItems->currentIndex();
    if (!current.isValid() || m_lvwItems->isRowHidden(current.row(), QModelIndex())) {
        m_prompts.Beep();
        m_prompts.ShowMessage("Select User(s) to Clear");
        return;
    }
    ClearingMark mark(m_clearing);
    const std::string user = m_results->Rows()[current.row()].cells[kColumnUserName];
    std::vector<uint32_t> ids;
    for (int row = 0; row < m_results->rowCount(); ++row) {
        const ResultRow& shown = m_results->Rows()[row];
        if (!m_lvwItems->isRowHidden(row, QModelIndex()) && shown.cells[kColumnUserName] == user) {
            ids.push_back(ParseIdText(shown.cells[kColumnId]));
        }
    }
    if (m_host.confirmClear() &&
        !m_prompts.AskYesNo("Clear " + std::to_string(ids.size()) +
                            (ids.size() == 1 ? " Connection" : " Connections") + " of " + user +
                            "?")) {
        return;
    }
    try {
        for (const uint32_t id : ids) {
            const std::string error = m_host.closeConnection(id);
            if (!error.empty()) {
                m_prompts.ShowError(error);
            }
        }
    } catch (const std::exception& e) {
        m_prompts.ShowError(e.what());
        return;
    }
    m_host.refresh();
}

void UsersPage::SetExportFileChooser(std::function<QString()> chooser) {
    m_chooseExportFile = std::move(chooser);
}

void UsersPage::ExportShownRows() {
    const QString name = m_chooseExportFile();
    if (name.isEmpty()) {
        return;
    }
    const std::vector<ResultRow> shown = ShownRows();
    const std::string text =
        name.endsWith(".json", Qt::CaseInsensitive) ? RowsJson(shown) : RowsCsv(shown);
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.flush()) {
        m_prompts.ShowError("Cannot write " + name.toStdString() + "\r\n" +
                            file.errorString().toStdString());
    }
}

void UsersPage::lvwItemsColumnClick(int column) {
    if (column == m_sortColumn) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = column;
    }
    m_results->SortByColumn(column, m_sortAscending);
    ApplyFilter();
    m_lvwItems->header()->setSortIndicator(
        column, m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace pellquin
