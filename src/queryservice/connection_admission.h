#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace pellquin {

// Decides, the moment a connection is accepted and before any byte is read, whether the
// service takes it. A connection it does not take is closed at once, so its client reports
// an error instead of waiting in the listen backlog until it gives up.
// Not thread-safe: the server uses it from its I/O thread only.
class ConnectionAdmission {
public:
    enum class Verdict {
        Admitted,           // Release(peer) once when the connection ends
        NotAllowed,         // the address is not in the allow-list
        TooManyFromClient,  // the address already holds its share of connections
        Full,               // the service holds as many connections as it serves
    };

    // `allowed`: canonical addresses (an empty list allows every address). The per-address
    // limit is kept below the total so one address can never take every connection.
    ConnectionAdmission(std::vector<std::string> allowed, size_t maxTotal, size_t maxPerClient);

    Verdict Admit(const std::string& peer);
    void Release(const std::string& peer);

    size_t Active() const { return m_active; }
    size_t PerClientLimit() const { return m_maxPerClient; }

    // A short reason for the log: "not allowed", "too many connections from this address",
    // "service full".
    static const char* Reason(Verdict verdict);

private:
    std::vector<std::string> m_allowed;
    size_t m_maxTotal;
    size_t m_maxPerClient;
    size_t m_active = 0;
    std::map<std::string, size_t> m_perClient;
};

}  // namespace pellquin
