#include "query/rows_export.h"

#include <cstdio>

namespace pellquin {
namespace {

std::string Unsigned(int32_t value) {
    return std::to_string(static_cast<uint32_t>(value));
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

std::string RowsCsv(const std::vector<ResultRow>& rows) {
    std::string out;
    for (int c = 0; c < kResultColumnCount; ++c) {
        out += (c ? "," : "") + CsvField(ResultColumnCaption(c));
    }
    out += "\r\n";
    for (const ResultRow& row : rows) {
        out += Unsigned(row.id);
        out += "," + CsvField(row.cells[kColumnFileName]);
        out += "," + CsvField(row.cells[kColumnUserName]);
        out += "," + Unsigned(row.locks);
        out += "," + CsvField(row.cells[kColumnPermissions]) + "\r\n";
    }
    return out;
}

std::string RowsJson(const std::vector<ResultRow>& rows) {
    std::string out = "[";
    for (size_t i = 0; i < rows.size(); ++i) {
        const ResultRow& row = rows[i];
        out += (i ? ",\n " : "\n ");
        out += "{\"id\": " + Unsigned(row.id);
        out += ", \"fileName\": " + JsonString(row.cells[kColumnFileName]);
        out += ", \"userName\": " + JsonString(row.cells[kColumnUserName]);
        out += ", \"locks\": " + Unsigned(row.locks);
        out += ", \"permissions\": " + JsonString(row.cells[kColumnPermissions]) + "}";
    }
    return out + (rows.empty() ? "]\n" : "\n]\n");
}

}  // namespace pellquin
