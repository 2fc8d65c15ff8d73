#pragma once

#include <string>
#include <vector>

#include "query/result_rows.h"

namespace pellquin {

// Which rows of a check a front end shows: a text that a cell must contain, and the users
// whose rows are wanted. Both the desktop program's filter box and the command line's
// --match / --user use it, so they narrow the same way.
class RowFilter {
public:
    // The text is looked for in the file name and the user name.
    static constexpr int kFileOrUser = -1;

    // Rows must contain `text` (letters compared without regard to case) in `column`, one of
    // ResultColumn or kFileOrUser. An empty text puts no condition on the cells.
    void SetText(std::string text, int column = kFileOrUser);

    // Rows must belong to one of `users` (SameUser); none puts no condition on the user.
    void SetUsers(std::vector<std::string> users);

    // Whether the filter lets every row through.
    bool IsEmpty() const { return m_text.empty() && m_users.empty(); }

    bool Matches(const ResultRow& row) const;

    // Indexes of the rows that match, in the rows' order.
    std::vector<size_t> Select(const std::vector<ResultRow>& rows) const;

private:
    std::string m_text;  // folded (FoldCase)
    int m_column = kFileOrUser;
    std::vector<std::string> m_users;
};

// `text` with its letters folded for a comparison without regard to case: ASCII and the
// Latin-1 letters written in UTF-8 (À..Þ to à..þ); other bytes unchanged, so a name in any
// other script compares exactly.
std::string FoldCase(const std::string& text);

// Whether the row's user `rowUser` is the user named `user`: the whole name without regard to
// case, or, for a row that reports DOMAIN\name, the part after the last backslash.
bool SameUser(const std::string& rowUser, const std::string& user);

// Indexes of the rows of `user` (SameUser with the row's user), in the rows' order: what
// "close this user's handles" acts on.
std::vector<size_t> RowsOfUser(const std::vector<ResultRow>& rows, const std::string& user);

}  // namespace pellquin
