#include "query/result_rows.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

std::vector<ResultRow> Rows(std::vector<std::tuple<uint32_t, std::string, uint32_t>> items) {
    TPellquinRequest request;
    for (const auto& [id, user, locks] : items) {
        TPellquinItem item;
        item.Id = id;
        item.UserName = user;
        item.NumLocks = locks;
        item.PathName = "D:\\Data\\f";
        request.Items.push_back(item);
    }
    return MakeResultRows(request, true);
}

std::vector<std::string> Cells(const std::vector<ResultRow>& rows, int column,
                               const std::vector<size_t>& order = {}) {
    std::vector<std::string> cells;
    for (size_t i = 0; i < rows.size(); ++i) {
        cells.push_back(rows[order.empty() ? i : order[i]].cells[column]);
    }
    return cells;
}

TEST(ResultRows, FillOrderIsTheTextOrderOfIdsAndKeepsArrivalForEqualIds) {
    auto rows =
        Rows({{9, "a", 0}, {100, "b", 0}, {10, "c", 0}, {9, "d", 0}, {4294967295u, "e", 0}});
    OrderByIdText(rows, std::use_facet<std::collate<char>>(std::locale::classic()));
    EXPECT_EQ(Cells(rows, kColumnId), (std::vector<std::string>{"-1", "10", "100", "9", "9"}));
    EXPECT_EQ(Cells(rows, kColumnUserName), (std::vector<std::string>{"e", "c", "b", "a", "d"}));
}

TEST(ResultRows, HeaderOrdersNumbersAsSignedAndTextByCharacterCodes) {
    const auto rows =
        Rows({{10, "bob", 2}, {2147483648u, "Bob", 10}, {9, "alice", 2}, {100, "bob", 9}});
    struct Case {
        int column;
        bool ascending;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {kColumnId, true, {"-2147483648", "9", "10", "100"}},
        {kColumnId, false, {"100", "10", "9", "-2147483648"}},
        {kColumnLocks, true, {"2", "2", "9", "10"}},
        {kColumnUserName, true, {"Bob", "alice", "bob", "bob"}},
        {kColumnUserName, false, {"bob", "bob", "alice", "Bob"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cells(rows, c.column, ColumnOrder(rows, c.column, c.ascending)), c.expected)
            << c.column << " " << c.ascending;
    }
    // Equal keys keep their order in both directions: rows 0 and 2 share two locks.
    EXPECT_EQ(Cells(rows, kColumnUserName, ColumnOrder(rows, kColumnLocks, false)),
              (std::vector<std::string>{"Bob", "bob", "bob", "alice"}));
}

TEST(ResultRows, TextHasTabsBetweenCellsAndCrLfAfterEveryRow) {
    TPellquinRequest request;
    request.ClientPath = "F:\\reports";
    request.ServerPath = "D:\\Data\\reports";
    request.Items.push_back({"D:\\Data\\reports\\q1.xls", "ann", 7, 5, 1});
    request.Items.push_back({"D:\\DATA\\REPORTS\\q2.xls", "ben", 8, 0, 0});
    EXPECT_EQ(ResultsText(MakeResultRows(request, false)),
              "7\tF:\\reports\\q1.xls\tann\t1\tRC\r\n8\tF:\\reports\\q2.xls\tben\t0\t\r\n");
    EXPECT_EQ(ResultsText({}), "");
}

}  // namespace
}  // namespace pellquin
