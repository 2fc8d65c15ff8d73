#include "app/users_page.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <utility>

#include "app/frm_status.h"
#include "app/named_widgets.h"
#include "app/results_model.h"
#include "browser/header_clicks.h"
#include "browser/keyboard_context_menu.h"
#include "query/result_format.h"

namespace pellquin {

UsersPage::UsersPage(UsersPageHost host, Prompts& prompts, TfrmStatus& status)
    : m_host(std::move(host)), m_prompts(prompts), m_status(status) {
    Named(this, "tabUsers", "Users");
    auto* layout = new QVBoxLayout(this);

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
    layout->addWidget(m_lvwItems, 1);

    auto* buttonRow = new QHBoxLayout;
    QPushButton* refresh = Button("&Refresh", "cmdRefresh", "Refresh", this);
    QPushButton* clear = Button("C&lear", "cmdClear", "Clear selected connections", this);
    QPushButton* clearAll = Button("Clear &All", "cmdClearAll", "Clear all connections", this);
    connect(refresh, &QPushButton::clicked, this, [this] { m_host.refresh(); });
    connect(clear, &QPushButton::clicked, this, &UsersPage::ClearSelectedConnections);
    connect(clearAll, &QPushButton::clicked, this, &UsersPage::ClearAllConnections);
    buttonRow->addStretch(1);
    buttonRow->addWidget(refresh);
    buttonRow->addWidget(clear);
    buttonRow->addWidget(clearAll);
    layout->addLayout(buttonRow);

    setTabOrder(m_lvwItems, refresh);
    setTabOrder(refresh, clear);
    setTabOrder(clear, clearAll);
}

void UsersPage::ClearRows() {
    m_lvwItems->setUpdatesEnabled(false);
    m_results->Clear();
    m_sortColumn = -1;
    m_lvwItems->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_lvwItems->setUpdatesEnabled(true);
}

void UsersPage::ShowRows(std::vector<ResultRow> rows) {
    m_lvwItems->setUpdatesEnabled(false);
    m_results->SetRows(std::move(rows));
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
    try {
        // The count is read at every step; the list itself changes only at the refresh.
        for (int row = 0; row < m_results->rowCount(); ++row) {
            if (!selection->isRowSelected(row, QModelIndex())) {
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
    if (m_host.confirmClear() && !m_prompts.AskYesNo("Clear All Connections ?")) {
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

void UsersPage::lvwItemsColumnClick(int column) {
    if (column == m_sortColumn) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = column;
    }
    m_results->SortByColumn(column, m_sortAscending);
    m_lvwItems->header()->setSortIndicator(
        column, m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace pellquin
