#include "query/row_filter.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

std::vector<ResultRow> Rows() {
    TPellquinRequest request;
    const std::pair<const char*, const char*> items[] = {
        {"D:\\Data\\Reports\\Q1.xls", "ann"},
        {"D:\\Data\\plans\\ÄRGER.doc", "BEN"},
        {"D:\\Data\\ann-notes.txt", "CORP\\Carl"},
        {"D:\\Data\\x", "Annette"},
    };
    uint32_t id = 1;
    for (const auto& [path, user] : items) {
        request.Items.push_back({path, user, id++, 1, 0});
    }
    return MakeResultRows(request, true);
}

TEST(RowFilter, TextAndUsersSelectTheRowsAnAdministratorMeans) {
    struct Case {
        const char* name;
        const char* text;
        int column;
        std::vector<std::string> users;
        std::vector<size_t> expected;
    };
    const Case cases[] = {
        {"empty filter keeps every row", "", RowFilter::kFileOrUser, {}, {0, 1, 2, 3}},
        {"text in file name or user, any case", "ANN", RowFilter::kFileOrUser, {}, {0, 2, 3}},
        {"Latin-1 letters fold too", "ärger", RowFilter::kFileOrUser, {}, {1}},
        {"only the named column", "ann", kColumnUserName, {}, {0, 3}},
        {"the id column as text", "3", kColumnId, {}, {2}},
        {"no match", "zzz", RowFilter::kFileOrUser, {}, {}},
        {"a user is a whole name, not a substring", "", RowFilter::kFileOrUser, {"ann"}, {0}},
        {"users are any of several, any case", "", RowFilter::kFileOrUser, {"ben", "ANN"}, {0, 1}},
        {"a bare name matches DOMAIN\\name", "", RowFilter::kFileOrUser, {"carl"}, {2}},
        {"a domain name matches only itself", "", RowFilter::kFileOrUser, {"OTHER\\carl"}, {}},
        {"text and user both hold", "q1", RowFilter::kFileOrUser, {"ann", "ben"}, {0}},
    };
    const std::vector<ResultRow> rows = Rows();
    for (const Case& c : cases) {
        RowFilter filter;
        filter.SetText(c.text, c.column);
        filter.SetUsers(c.users);
        EXPECT_EQ(filter.Select(rows), c.expected) << c.name;
        EXPECT_EQ(filter.IsEmpty(), c.expected.size() == rows.size() && c.users.empty() &&
                                        std::string(c.text).empty())
            << c.name;
    }
}

TEST(RowFilter, FoldingLeavesOtherBytesAndBrokenSequencesAlone) {
    EXPECT_EQ(FoldCase("ÀÉÞ×Ω"), "àéþ×Ω");        // the multiplication sign and Greek unchanged
    EXPECT_EQ(FoldCase("AB\xC3"), "ab\xC3");      // a lead byte at the end is kept as it is
    EXPECT_EQ(FoldCase("\xC3\x41"), "\xC3\x41");  // C3 followed by 'A' is not a letter pair
}

TEST(RowFilter, RowsOfUserAreThatUsersRowsInOrder) {
    const std::vector<ResultRow> rows = Rows();
    EXPECT_EQ(RowsOfUser(rows, "Ann"), (std::vector<size_t>{0}));
    EXPECT_EQ(RowsOfUser(rows, "CORP\\CARL"), (std::vector<size_t>{2}));
    EXPECT_EQ(RowsOfUser(rows, "nobody"), (std::vector<size_t>{}));
}

}  // namespace
}  // namespace pellquin
