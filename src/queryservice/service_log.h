#pragma once

#include <ctime>
#include <mutex>
#include <string>

namespace pellquin {

constexpr const char* kServiceLogName = "Pellquin.log";

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

// The service's log "Pellquin.log": one line per request. The file is opened for every
// line, so a log that an operator deleted or moved away is created again by the next
// request. Safe to call from several threads; lines never interleave.
class ServiceLog {
public:
    explicit ServiceLog(std::string directory);

    // Appends the entry's line. Returns false when the file cannot be written; the caller
    // goes on serving regardless.
    bool Write(const ServiceLogEntry& entry);

    // Appends a line about the service itself (start, stop, a failure to serve).
    bool Note(const std::string& text);

    const std::string& FilePath() const { return m_path; }

    // "2024-05-01 14:03:07 10.0.0.5 alice@WS01 query \\srv\data\q1.xls: 3 rows", in local
    // time. Control characters from the client are shown as '?', so no record can forge or
    // split a line.
    static std::string FormatLine(const ServiceLogEntry& entry);

private:
    bool Append(const std::string& line);

    std::string m_path;
    std::mutex m_mutex;
};

}  // namespace pellquin
