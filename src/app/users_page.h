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

class ResultsFilterBar;
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
    // The rows the filter lets through, in the list's order: what the clipboard and the
    // export take.
    std::vector<ResultRow> ShownRows() const;

    // Closes the shown connections of the user of the list's current row: one confirmation
    // for all when the options ask for it; a failure is shown and the others still closed;
    // then refreshes the list.
    void ClearRowsOfCurrentUser();
    // Writes the shown rows to a file the chooser names, as CSV or (for a name ending in
    // .json) JSON. An empty name writes nothing.
    void ExportShownRows();
    // Asks for the file to export to; the default is a save dialog. Replaced by tests.
    void SetExportFileChooser(std::function<QString()> chooser);

    // Closes the selected rows' connections that the filter shows, each confirmed when the options
    // ask for it, then refreshes the list. With no selection, says so and closes nothing.
    void ClearSelectedConnections();
    // Closes every listed connection (also those the filter hides) behind the status pop-up,
    // stopping at the first failure, then refreshes the list.
    void ClearAllConnections();
    // Sorts by `column`; the same column again reverses the order.
    void lvwItemsColumnClick(int column);

    // Whether a clear is walking the list now (its questions and errors run the event loop).
    bool IsClearing() const { return m_clearing; }

signals:
    // The number of rows and of those the filter shows, after every change to either.
    void rowCountsChanged(int total, int shown);

private:
    // Hides the rows the filter bar does not let through.
    void ApplyFilter();
    int HiddenRowCount() const;
    // On the first fill only: widens the columns to their contents, capped.
    void FitColumnsOnce();

    UsersPageHost m_host;
    Prompts& m_prompts;
    TfrmStatus& m_status;
    QTreeView* m_lvwItems = nullptr;
    ResultsModel* m_results = nullptr;
    ResultsFilterBar* m_filterBar = nullptr;
    std::function<QString()> m_chooseExportFile;
    bool m_clearing = false;
    int m_sortColumn = -1;  // none until a header is clicked after the list was filled
    bool m_sortAscending = true;
    bool m_columnsFitted = false;
};

}  // namespace pellquin
