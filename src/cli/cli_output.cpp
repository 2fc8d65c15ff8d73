#include "cli/cli_output.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "query/result_rows.h"
#include "query/terminal_text.h"

namespace pellquin {
namespace {

ResultRow HeaderRow() {
    ResultRow header;
    for (int c = 0; c < kResultColumnCount; ++c) {
        header.cells[c] = ResultColumnCaption(c);
    }
    return header;
}

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

// Display width in characters, counting each UTF-8 sequence once.
size_t Width(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

void WriteRows(std::ostream& out, const TPellquinRequest& request, bool serverRelative,
               CliOptions::Format format) {
    std::vector<ResultRow> rows = MakeResultRows(request, serverRelative);
    switch (format) {
        case CliOptions::Format::Json: {
            out << "[";
            for (size_t i = 0; i < rows.size(); ++i) {
                const TPellquinItem& item = request.Items[i];
                out << (i ? ",\n " : "\n ") << "{\"id\": " << item.Id
                    << ", \"fileName\": " << JsonQuoted(rows[i].cells[kColumnFileName])
                    << ", \"serverPathName\": " << JsonQuoted(item.PathName)
                    << ", \"userName\": " << JsonQuoted(item.UserName)
                    << ", \"locks\": " << item.NumLocks
                    << ", \"permissions\": " << JsonQuoted(rows[i].cells[kColumnPermissions])
                    << ", \"permissionBits\": " << item.Permissions << "}";
            }
            out << (rows.empty() ? "]\n" : "\n]\n");
            break;
        }
        case CliOptions::Format::Csv:
            rows.insert(rows.begin(), HeaderRow());
            for (const ResultRow& row : rows) {
                for (int c = 0; c < kResultColumnCount; ++c) {
                    out << (c ? "," : "")
                        << CsvField(NeutralisedText(row.cells[c], TextUse::CsvCell));
                }
                out << "\r\n";
            }
            break;
        case CliOptions::Format::Table: {
            for (ResultRow& row : rows) {
                for (std::string& cell : row.cells) {
                    cell = NeutralisedText(cell, TextUse::TableCell);
                }
            }
            rows.insert(rows.begin(), HeaderRow());
            std::array<size_t, kResultColumnCount> widths{};
            for (const ResultRow& row : rows) {
                for (int c = 0; c < kResultColumnCount; ++c) {
                    widths[c] = std::max(widths[c], Width(row.cells[c]));
                }
            }
            for (const ResultRow& row : rows) {
                std::string line;
                for (int c = 0; c < kResultColumnCount; ++c) {
                    const std::string& cell = row.cells[c];
                    const std::string pad(widths[c] - Width(cell), ' ');
                    const bool last = c + 1 == kResultColumnCount;
                    // Numbers right-aligned, texts left-aligned; no trailing blanks.
                    line += IsNumericColumn(c) ? pad + cell : cell + (last ? "" : pad);
                    if (!last) {
                        line += "  ";
                    }
                }
                while (!line.empty() && line.back() == ' ') {
                    line.pop_back();
                }
                out << line << '\n';
            }
            break;
        }
    }
}

}  // namespace pellquin
