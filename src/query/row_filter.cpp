#include "query/row_filter.h"

namespace pellquin {

std::string FoldCase(const std::string& text) {
    std::string out = text;
    for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + ('a' - 'A'));
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // U+00C0..U+00DE are C3 80..C3 9E; their small forms are C3 A0..C3 BE. C3 97 is
            // the multiplication sign, which has none.
            const auto next = static_cast<unsigned char>(out[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) {
                out[i + 1] = static_cast<char>(next + 0x20);
            }
            ++i;
        }
    }
    return out;
}

bool SameUser(const std::string& rowUser, const std::string& user) {
    const std::string wanted = FoldCase(user);
    const std::string reported = FoldCase(rowUser);
    if (reported == wanted) {
        return true;
    }
    const size_t slash = reported.rfind('\\');
    return slash != std::string::npos && wanted.find('\\') == std::string::npos &&
           reported.compare(slash + 1, std::string::npos, wanted) == 0;
}

std::vector<size_t> RowsOfUser(const std::vector<ResultRow>& rows, const std::string& user) {
    std::vector<size_t> selected;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (SameUser(rows[i].cells[kColumnUserName], user)) {
            selected.push_back(i);
        }
    }
    return selected;
}

void RowFilter::SetText(std::string text, int column) {
    m_text = FoldCase(text);
    m_column = column;
}

void RowFilter::SetUsers(std::vector<std::string> users) {
    m_users = std::move(users);
}

bool RowFilter::Matches(const ResultRow& row) const {
    if (!m_users.empty()) {
        bool wanted = false;
        for (const std::string& user : m_users) {
            wanted = wanted || SameUser(row.cells[kColumnUserName], user);
        }
        if (!wanted) {
            return false;
        }
    }
    if (m_text.empty()) {
        return true;
    }
    auto contains = [this, &row](int column) {
        return FoldCase(row.cells[column]).find(m_text) != std::string::npos;
    };
    if (m_column == kFileOrUser) {
        return contains(kColumnFileName) || contains(kColumnUserName);
    }
    return contains(m_column);
}

std::vector<size_t> RowFilter::Select(const std::vector<ResultRow>& rows) const {
    std::vector<size_t> selected;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (Matches(rows[i])) {
            selected.push_back(i);
        }
    }
    return selected;
}

}  // namespace pellquin
