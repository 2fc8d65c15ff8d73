#include "query/rows_export.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

std::vector<ResultRow> Rows() {
    TPellquinRequest request;
    request.Items.push_back({"D:\\Data\\Grüße, \"q1\".txt", "ann", 2147483648u, 3, 4294967295u});
    request.Items.push_back({"D:\\Data\\line\nbreak", "b\x01", 7, 0, 2});
    return MakeResultRows(request, true);
}

TEST(RowsExport, CsvAndJsonCarryUnsignedNumbersAndQuoteOrEscapeWhatNeedsIt) {
    EXPECT_EQ(RowsCsv(Rows()),
              "ID,File Name,User Name,# Locks,Permissions\r\n"
              "2147483648,\"D:\\Data\\Grüße, \"\"q1\"\".txt\",ann,4294967295,RW\r\n"
              "7,\"D:\\Data\\line\nbreak\",b\x01,2,\r\n");
    EXPECT_EQ(RowsJson(Rows()),
              "[\n {\"id\": 2147483648, \"fileName\": \"D:\\\\Data\\\\Grüße, \\\"q1\\\".txt\", "
              "\"userName\": \"ann\", \"locks\": 4294967295, \"permissions\": \"RW\"},\n"
              " {\"id\": 7, \"fileName\": \"D:\\\\Data\\\\line\\u000abreak\", \"userName\": "
              "\"b\\u0001\", \"locks\": 2, \"permissions\": \"\"}\n]\n");
    EXPECT_EQ(RowsCsv({}), "ID,File Name,User Name,# Locks,Permissions\r\n");
    EXPECT_EQ(RowsJson({}), "[]\n");
}

}  // namespace
}  // namespace pellquin
