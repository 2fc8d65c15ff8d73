#include "queryservice/service_log.h"

#include <filesystem>
#include <fstream>
#include <mutex>

namespace pellquin {
namespace {

std::string Printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            c = '?';
        }
    }
    return shown;
}

std::string LocalTime(std::time_t time) {
    // std::localtime shares one buffer across the process.
    static std::mutex mutex;
    std::tm parts{};
    {
        std::lock_guard<std::mutex> lock(mutex);
        parts = *std::localtime(&time);
    }
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

}  // namespace

ServiceLog::ServiceLog(std::string directory)
    : m_path((std::filesystem::path(directory) / kServiceLogName).string()) {}

std::string ServiceLog::FormatLine(const ServiceLogEntry& entry) {
    return LocalTime(entry.time) + " " + Printable(entry.peer) + " " + Printable(entry.user) + "@" +
           Printable(entry.computer) + " " + Printable(entry.kind) + " " + Printable(entry.path) +
           ": " + Printable(entry.outcome);
}

bool ServiceLog::Write(const ServiceLogEntry& entry) {
    return Append(FormatLine(entry));
}

bool ServiceLog::Note(const std::string& text) {
    return Append(LocalTime(std::time(nullptr)) + " " + Printable(text));
}

bool ServiceLog::Append(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Text mode: the system's own line ends, so Notepad and less both read the file.
    std::ofstream file(m_path, std::ios::app);
    if (!file) {
        return false;
    }
    file << line << '\n';
    file.flush();
    return static_cast<bool>(file);
}

}  // namespace pellquin
