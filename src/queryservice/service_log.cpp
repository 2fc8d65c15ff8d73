#include "queryservice/service_log.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#include "queryservice/config_file_check.h"
#include "queryservice/log_file.h"
#include "queryservice/log_text.h"

namespace pellquin {
namespace {

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

ServiceLog::ServiceLog(std::string directory, uint64_t maxBytes)
    : m_directory(std::move(directory)),
      m_path((std::filesystem::path(m_directory) / kServiceLogName).string()),
      m_oldPath((std::filesystem::path(m_directory) / kServiceLogOldName).string()),
      m_maxBytes(maxBytes) {}

std::string ServiceLog::FormatLine(const ServiceLogEntry& entry) {
    return LocalTime(entry.time) + " " + EscapeLogText(entry.peer) + " " +
           QuoteLogField(entry.user) + "@" + QuoteLogField(entry.computer) + " " +
           EscapeLogText(entry.kind) + " " + QuoteLogField(entry.path) + ": " +
           EscapeLogText(entry.outcome);
}

std::string ServiceLog::DirectoryProblem(const std::string& directory) {
    return ConfigFileProblem(directory);
}

bool ServiceLog::Write(const ServiceLogEntry& entry) {
    return Append(FormatLine(entry));
}

bool ServiceLog::Note(const std::string& text) {
    return Append(LocalTime(std::time(nullptr)) + " " + EscapeLogText(text));
}

void ServiceLog::Refused(const std::string& peer, const std::string& reason,
                         std::chrono::steady_clock::time_point now) {
    uint64_t unlogged = 0;
    {
        std::lock_guard<std::mutex> lock(m_refusalMutex);
        if (m_refusalLogged && now - m_lastRefusal < kRefusalLogInterval) {
            ++m_unloggedRefusals;
            return;
        }
        m_refusalLogged = true;
        m_lastRefusal = now;
        unlogged = m_unloggedRefusals;
        m_unloggedRefusals = 0;
    }
    std::string line = "refused " + peer + ": " + reason;
    if (unlogged > 0) {
        line += " (and " + std::to_string(unlogged) + " refusals not logged before)";
    }
    Note(line);
}

bool ServiceLog::Append(const std::string& line) {
    const std::string text = line + kLogLineEnd;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!DirectoryProblem(m_directory).empty()) {
        return false;
    }
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(m_path, error);
    if (!error && std::filesystem::is_regular_file(status)) {
        const uintmax_t size = std::filesystem::file_size(m_path, error);
        if (!error && size > 0 && size + text.size() > m_maxBytes) {
            // rename replaces the older file in one step. When it fails the line is lost
            // rather than letting the file grow past its limit.
            std::filesystem::rename(m_path, m_oldPath, error);
            if (error) {
                return false;
            }
        }
    }
    return AppendToLogFile(m_path, text);
}

}  // namespace pellquin
