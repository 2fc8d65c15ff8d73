#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

namespace pellquin {

constexpr const char* kServiceLogName = "Pellquin.log";
// The one older file kept when the log is rotated.
constexpr const char* kServiceLogOldName = "Pellquin.log.1";
constexpr uint64_t kDefaultLogMaxBytes = 10 * 1024 * 1024;
// At most one line about refused connections per this interval.
constexpr std::chrono::seconds kRefusalLogInterval{1};

// What one request did, as the log shows it.
struct ServiceLogEntry {
    std::time_t time = 0;
    std::string peer;  // the client's address
    std::string user;  // user and computer names as the client's record gave them
    std::string computer;
    std::string kind;  // "query", "close" or the refused kind's number
    std::string path;  // the path as the record named it
    std::string outcome;
};

// The service's log "Pellquin.log": one line per request. Bounded on disk: before a line
// would take the file past the size limit, the file becomes "Pellquin.log.1" (replacing
// the older one) and a new file is begun, so the two together never exceed twice the limit.
// The file is opened for every line, so a log that an operator deleted or moved away is
// created again by the next request. It is written only inside a directory that
// DirectoryProblem accepts, and never through a link (see AppendToLogFile).
// Safe to call from several threads; lines never interleave.
class ServiceLog {
public:
    explicit ServiceLog(std::string directory, uint64_t maxBytes = kDefaultLogMaxBytes);

    // Appends the entry's line. Returns false when the file cannot be written; the caller
    // goes on serving regardless.
    bool Write(const ServiceLogEntry& entry);

    // Appends a line about the service itself (start, stop, a failure to serve).
    bool Note(const std::string& text);

    // Notes a connection refused before any byte was read from it: one short line with
    // the address and the reason, nothing the client sent. At most one such line per
    // kRefusalLogInterval, so a flood cannot fill the log; the next line that is written
    // says how many refusals went unlogged before it.
    void Refused(const std::string& peer, const std::string& reason,
                 std::chrono::steady_clock::time_point now);

    const std::string& FilePath() const { return m_path; }

    // Why `directory` may not hold the log, or empty when it may: the checks of the
    // configuration file (owner root or the service's user, not writable by group or
    // others), since whoever can change the directory can swap the log's files.
    static std::string DirectoryProblem(const std::string& directory);

    // 2024-05-01 14:03:07 10.0.0.5 "alice"@"WS01" query "\\srv\data\q1.xls": 3 rows
    // in local time. Every text from the client is quoted and escaped (QuoteLogField).
    static std::string FormatLine(const ServiceLogEntry& entry);

private:
    bool Append(const std::string& line);

    std::string m_directory;
    std::string m_path;
    std::string m_oldPath;
    uint64_t m_maxBytes;
    std::mutex m_mutex;
    std::mutex m_refusalMutex;
    bool m_refusalLogged = false;
    std::chrono::steady_clock::time_point m_lastRefusal{};
    uint64_t m_unloggedRefusals = 0;
};

}  // namespace pellquin
