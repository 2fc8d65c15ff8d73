#include "queryservice/connection_admission.h"

#include <algorithm>

namespace pellquin {

ConnectionAdmission::ConnectionAdmission(std::vector<std::string> allowed, size_t maxTotal,
                                         size_t maxPerClient)
    : m_allowed(std::move(allowed)),
      m_maxTotal(std::max<size_t>(maxTotal, 1)),
      m_maxPerClient(std::max<size_t>(
          1, std::min(maxPerClient, m_maxTotal > 1 ? m_maxTotal - 1 : m_maxTotal))) {}

ConnectionAdmission::Verdict ConnectionAdmission::Admit(const std::string& peer) {
    if (!m_allowed.empty() &&
        std::find(m_allowed.begin(), m_allowed.end(), peer) == m_allowed.end()) {
        return Verdict::NotAllowed;
    }
    if (m_active >= m_maxTotal) {
        return Verdict::Full;
    }
    size_t& count = m_perClient[peer];
    if (count >= m_maxPerClient) {
        return Verdict::TooManyFromClient;
    }
    ++count;
    ++m_active;
    return Verdict::Admitted;
}

void ConnectionAdmission::Release(const std::string& peer) {
    const auto it = m_perClient.find(peer);
    if (it == m_perClient.end() || it->second == 0) {
        return;
    }
    --m_active;
    if (--it->second == 0) {
        m_perClient.erase(it);
    }
}

const char* ConnectionAdmission::Reason(Verdict verdict) {
    switch (verdict) {
        case Verdict::Admitted:
            return "admitted";
        case Verdict::NotAllowed:
            return "not allowed";
        case Verdict::TooManyFromClient:
            return "too many connections from this address";
        case Verdict::Full:
            return "service full";
    }
    return "refused";
}

}  // namespace pellquin
