#include "cli/cli_output.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "query/result_rows.h"
#include "query/rows_export.h"
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
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].cells[kColumnId] = std::to_string(request.Items[i].Id);
        rows[i].cells[kColumnLocks] = std::to_string(request.Items[i].NumLocks);
    }
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

void WriteCheckedPaths(std::ostream& out, const std::vector<CheckedPath>& checks,
                       bool serverRelative, CliOptions::Format format) {
    if (checks.size() == 1) {
        WriteRows(out, checks[0].request, serverRelative, format);
        return;
    }
    // Each path's rows are written by WriteRows and then tagged, so the cells read the same
    // with one path as with several.
    bool first = true;
    if (format == CliOptions::Format::Json) {
        out << "[";
    } else if (format == CliOptions::Format::Csv) {
        out << "Path," << [] {
            std::ostringstream header;
            WriteRows(header, TPellquinRequest(), false, CliOptions::Format::Csv);
            return header.str();
        }();
    }
    for (const CheckedPath& check : checks) {
        if (!check.request.ErrorText.empty()) {
            continue;
        }
        std::ostringstream part;
        WriteRows(part, check.request, serverRelative, format);
        std::string text = part.str();
        std::istringstream lines(text);
        std::string line;
        switch (format) {
            case CliOptions::Format::Json:
                // WriteRows puts each object on a line of its own that starts with " {".
                while (std::getline(lines, line)) {
                    if (line.compare(0, 2, " {") == 0) {
                        out << (first ? "\n" : ",\n") << " {\"path\": " << JsonQuoted(check.path)
                            << ", "
                            << line.substr(
                                   2, line.back() == ',' ? line.size() - 3 : std::string::npos);
                        first = false;
                    }
                }
                break;
            case CliOptions::Format::Csv: {
                // Rows end with CR LF and quoted fields may hold line breaks, so rows are
                // split at CR LF outside quotes; the first row is the header.
                const std::string tag = CsvField(check.path) + ",";
                bool quoted = false;
                bool header = true;
                size_t start = 0;
                for (size_t i = 0; i < text.size(); ++i) {
                    if (text[i] == '"') {
                        quoted = !quoted;
                    } else if (!quoted && text.compare(i, 2, "\r\n") == 0) {
                        if (!header) {
                            out << tag << text.substr(start, i + 2 - start);
                        }
                        header = false;
                        start = i + 2;
                        ++i;
                    }
                }
                break;
            }
            case CliOptions::Format::Table:
                out << (first ? "" : "\n") << check.path << ":\n" << text;
                first = false;
                break;
        }
    }
    if (format == CliOptions::Format::Json) {
        out << (first ? "]\n" : "\n]\n");
    }
}

}  // namespace pellquin
