// The service log's writer under arbitrary client texts: the escaping must show every byte
// and hide none (reading the escapes back gives the text again), a quoted field must end
// at its closing quote and nowhere before, a line must hold no control character at all,
// and the rotated files must stay within their limit.
//
// Input: fields separated by 0xFF 0xFE (user, computer, path, outcome, anything more).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "queryservice/log_text.h"
#include "queryservice/service_log.h"

namespace {

using namespace pellquin;

// Reads EscapeLogText's output back into the bytes it came from; aborts on anything that
// is not one of its forms.
std::string Unescape(const std::string& shown) {
    std::string text;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != '<') {
            text += shown[i];
            continue;
        }
        if (i + 1 < shown.size() && shown[i + 1] == '<') {
            text += '<';
            ++i;
            continue;
        }
        const size_t end = shown.find('>', i);
        if (end == std::string::npos) {
            std::abort();
        }
        const std::string inside = shown.substr(i + 1, end - i - 1);
        if (inside.size() == 2) {
            text += static_cast<char>(std::stoul(inside, nullptr, 16));
        } else if (inside.rfind("U+", 0) == 0) {
            const unsigned long c = std::stoul(inside.substr(2), nullptr, 16);
            if (c < 0x80) {
                std::abort();  // ASCII controls are shown as bytes
            } else if (c < 0x800) {
                text += static_cast<char>(0xC0 | c >> 6);
                text += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                text += static_cast<char>(0xE0 | c >> 12);
                text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
                text += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                text += static_cast<char>(0xF0 | c >> 18);
                text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
                text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
                text += static_cast<char>(0x80 | (c & 0x3F));
            }
        } else {
            std::abort();
        }
        i = end;
    }
    return text;
}

void CheckLine(const std::string& line) {
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            std::abort();
        }
    }
}

std::vector<std::string> Fields(const uint8_t* data, size_t size) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0xFE) {
            fields.emplace_back();
            ++i;
        } else {
            fields.back() += static_cast<char>(data[i]);
        }
    }
    fields.resize(std::max<size_t>(fields.size(), 4));
    return fields;
}

// A directory of its own for the rotation check, made once per process.
const std::string& LogDirectory() {
    static const std::string directory = [] {
        const auto path =
            std::filesystem::temp_directory_path() / ("pq-log-fuzz-" + std::to_string(std::rand()));
        std::filesystem::create_directories(path);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path.string();
    }();
    return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Keeps one line well below the rotation limit (an escape takes at most 8 bytes).
    if (size > 4096) {
        return 0;
    }
    const std::vector<std::string> fields = Fields(data, size);
    for (const std::string& field : fields) {
        const std::string shown = EscapeLogText(field);
        CheckLine(shown);
        if (Unescape(shown) != field) {
            std::abort();
        }
        // The field is the quoted text up to the first quote not doubled.
        const std::string quoted = QuoteLogField(field);
        size_t i = 1;
        std::string inside;
        while (i < quoted.size()) {
            if (quoted[i] == '"') {
                if (i + 1 < quoted.size() && quoted[i + 1] == '"') {
                    inside += '"';
                    i += 2;
                    continue;
                }
                break;
            }
            inside += quoted[i++];
        }
        if (quoted.front() != '"' || i != quoted.size() - 1 || inside != shown) {
            std::abort();
        }
    }
    ServiceLogEntry entry;
    entry.peer = "10.0.0.1";
    entry.user = fields[0];
    entry.computer = fields[1];
    entry.kind = "query";
    entry.path = fields[2];
    entry.outcome = fields[3];
    CheckLine(ServiceLog::FormatLine(entry));

    static ServiceLog log(LogDirectory(), 64 * 1024);
    log.Write(entry);
    std::error_code error;
    for (const char* name : {kServiceLogName, kServiceLogOldName}) {
        const auto bytes =
            std::filesystem::file_size(std::filesystem::path(LogDirectory()) / name, error);
        if (!error && bytes > 64 * 1024) {
            std::abort();
        }
    }
    return 0;
}
