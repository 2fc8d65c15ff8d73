#include "cli/cli_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace pellquin {
namespace {

TPellquinRequest TwoRows() {
    TPellquinRequest request;
    request.ClientPath = "\\\\srv\\data";
    request.ServerPath = "C:\\srv\\data\\";
    TPellquinItem a;
    a.PathName = "C:\\srv\\data\\Grüße, \"q1\".txt";
    a.UserName = "pquser";
    a.Id = 2147483648u;
    a.Permissions = 3;
    TPellquinItem b;
    b.PathName = "C:\\srv\\data\\b";
    b.UserName = "x";
    b.Id = 7;
    b.Permissions = 1;
    b.NumLocks = 2;
    request.Items = {a, b};
    return request;
}

std::string Write(const TPellquinRequest& request, bool serverRelative, CliOptions::Format format) {
    std::ostringstream out;
    WriteRows(out, request, serverRelative, format);
    return out.str();
}

TEST(CliOutput, TableAlignsColumnsByCharacters) {
    EXPECT_EQ(Write(TwoRows(), false, CliOptions::Format::Table),
              "        ID  File Name                   User Name  # Locks  Permissions\n"
              "2147483648  \\\\srv\\data\\Grüße, \"q1\".txt  pquser           0  RW\n"
              "         7  \\\\srv\\data\\b                x                2  R\n");
}

TEST(CliOutput, CsvQuotesWhatNeedsIt) {
    EXPECT_EQ(Write(TwoRows(), true, CliOptions::Format::Csv),
              "ID,File Name,User Name,# Locks,Permissions\r\n"
              "2147483648,\"C:\\srv\\data\\Grüße, \"\"q1\"\".txt\",pquser,0,RW\r\n"
              "7,C:\\srv\\data\\b,x,2,R\r\n");
}

TEST(CliOutput, JsonCarriesTheUnsignedIdAndEscapes) {
    const std::string json = Write(TwoRows(), false, CliOptions::Format::Json);
    EXPECT_NE(json.find("{\"id\": 2147483648, \"fileName\": "
                        "\"\\\\\\\\srv\\\\data\\\\Grüße, \\\"q1\\\".txt\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"permissions\": \"R\", \"permissionBits\": 1}"), std::string::npos);
    EXPECT_EQ(Write(TPellquinRequest(), false, CliOptions::Format::Json), "[]\n");
}

TEST(CliOutput, HostileNamesCannotActOnTheTerminalOrForgeRows) {
    TPellquinRequest request;
    TPellquinItem item;
    item.PathName = "C:\\x\x1b]0;owned\x07\nforged\xe2\x80\xae.txt";
    item.UserName = "u\tv\x9b";
    item.Id = 1;
    request.Items = {item};
    const std::string table = Write(request, true, CliOptions::Format::Table);
    EXPECT_EQ(table.find('\x1b'), std::string::npos) << table;
    EXPECT_NE(table.find("C:\\x\\x1B]0;owned\\x07\\x0Aforged\\u202E.txt  u\\x09v\\x9B"),
              std::string::npos)
        << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2) << table;

    const std::string csv = Write(request, true, CliOptions::Format::Csv);
    EXPECT_NE(csv.find("\r\n1,C:\\x\\x1B]0;owned\\x07\\x0Aforged\\u202E.txt,u\tv\\x9B,0,\r\n"),
              std::string::npos)
        << csv;

    const std::string json = Write(request, true, CliOptions::Format::Json);
    EXPECT_NE(json.find("\"fileName\": \"C:\\\\x\\u001b]0;owned\\u0007\\nforged\\u202e.txt\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"userName\": \"u\\tv\\\\x9B\""), std::string::npos) << json;
}

}  // namespace
}  // namespace pellquin
