#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "prompts/prompts.h"
#include "query/result_rows.h"

class QTreeView;

namespace pellquin {

class ResultsModel;
class TfrmStatus;

// What the users page uses of the main window. Every member must be set.
struct UsersPageHost {
    std::function<std::string(uint32_t)> closeConnection;  // one close; its error text
    std::function<bool()> confirmClear;                    // chkPromptClearConnection
    std::function<void()> refresh;                         // the Check command
};

// The "Users" page: the results list lvwItems with its column sorting, and the clearing of
// the connections it shows. `prompts` and `status` (the clearing pop-up) are borrowed and
// must outlive the page.
class UsersPage : public QWidget {
    Q_OBJECT
public:
    UsersPage(UsersPageHost host, Prompts& prompts, TfrmStatus& status);

    // Empties the list and forgets its sort column.
    void ClearRows();
    void ShowRows(std::vector<ResultRow> rows);
    const std::vector<ResultRow>& Rows() const;

    // Closes the selected rows' connections, each confirmed when the options ask for it,
    // then refreshes the list. With no selection, says so and closes nothing.
    void ClearSelectedConnections();
    // Closes every listed connection behind the status pop-up, stopping at the first
    // failure, then refreshes the list.
    void ClearAllConnections();
    // Sorts by `column`; the same column again reverses the order.
    void lvwItemsColumnClick(int column);

private:
    // On the first fill only: widens the columns to their contents, capped.
    void FitColumnsOnce();

    UsersPageHost m_host;
    Prompts& m_prompts;
    TfrmStatus& m_status;
    QTreeView* m_lvwItems = nullptr;
    ResultsModel* m_results = nullptr;
    int m_sortColumn = -1;  // none until a header is clicked after the list was filled
    bool m_sortAscending = true;
    bool m_columnsFitted = false;
};

}  // namespace pellquin
