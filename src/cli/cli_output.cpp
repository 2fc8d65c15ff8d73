#include "cli/cli_output.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "query/result_format.h"

namespace pellquin {
namespace {

using Row = std::array<std::string, 5>;

const Row kHeader = {"ID", "File Name", "User Name", "# Locks", "Permissions"};

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
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
    std::vector<Row> rows;
    rows.reserve(request.Items.size());
    for (const TPellquinItem& item : request.Items) {
        rows.push_back({IdText(item.Id),
                        serverRelative ? item.PathName
                                       : ClientRelativeName(item.PathName, request.ServerPath,
                                                            request.ClientPath),
                        item.UserName, std::to_string(static_cast<int32_t>(item.NumLocks)),
                        PermissionLetters(item.Permissions)});
    }
    switch (format) {
        case CliOptions::Format::Json: {
            out << "[";
            for (size_t i = 0; i < rows.size(); ++i) {
                const TPellquinItem& item = request.Items[i];
                out << (i ? ",\n " : "\n ") << "{\"id\": " << item.Id
                    << ", \"fileName\": " << JsonString(rows[i][1])
                    << ", \"serverPathName\": " << JsonString(item.PathName)
                    << ", \"userName\": " << JsonString(item.UserName)
                    << ", \"locks\": " << item.NumLocks
                    << ", \"permissions\": " << JsonString(rows[i][4])
                    << ", \"permissionBits\": " << item.Permissions << "}";
            }
            out << (rows.empty() ? "]\n" : "\n]\n");
            break;
        }
        case CliOptions::Format::Csv:
            rows.insert(rows.begin(), kHeader);
            for (const Row& row : rows) {
                for (size_t c = 0; c < row.size(); ++c) {
                    out << (c ? "," : "") << CsvField(row[c]);
                }
                out << "\r\n";
            }
            break;
        case CliOptions::Format::Table: {
            rows.insert(rows.begin(), kHeader);
            std::array<size_t, 5> widths{};
            for (const Row& row : rows) {
                for (size_t c = 0; c < row.size(); ++c) {
                    widths[c] = std::max(widths[c], Width(row[c]));
                }
            }
            for (const Row& row : rows) {
                std::string line;
                for (size_t c = 0; c < row.size(); ++c) {
                    const std::string pad(widths[c] - Width(row[c]), ' ');
                    // Numbers right-aligned, texts left-aligned; no trailing blanks.
                    const bool numeric = c == 0 || c == 3;
                    line += numeric ? pad + row[c] : row[c] + (c + 1 < row.size() ? pad : "");
                    if (c + 1 < row.size()) {
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
