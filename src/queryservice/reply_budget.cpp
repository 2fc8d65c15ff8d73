#include "queryservice/reply_budget.h"

#include <functional>
#include <string_view>

namespace pellquin {
namespace {

size_t HashOf(const std::vector<uint8_t>& bytes) {
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace

ReplyBudget::ReplyBudget(size_t capBytes) : m_cap(capBytes) {}

ReplyBudget::Admission ReplyBudget::Admit(std::vector<uint8_t> reply) {
    Admission admission;
    const size_t hash = HashOf(reply);
    std::shared_ptr<Held> held;
    const auto range = m_byHash.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
        if (*it->second->reply == reply) {
            held = it->second;
            break;
        }
    }
    if (!held) {
        const size_t size = reply.size();
        while (m_held + size > m_cap && !m_holders.empty()) {
            const auto oldest = m_holders.begin();
            admission.dropped.push_back(oldest->first);
            Forget(oldest);
        }
        held = std::make_shared<Held>();
        held->reply = std::make_shared<const std::vector<uint8_t>>(std::move(reply));
        held->hash = hash;
        m_byHash.emplace(hash, held);
        m_held += size;
    }
    ++held->holders;
    admission.ticket = m_nextTicket++;
    admission.reply = held->reply;
    m_holders.emplace(admission.ticket, std::move(held));
    return admission;
}

void ReplyBudget::Release(uint64_t ticket) {
    const auto it = m_holders.find(ticket);
    if (it != m_holders.end()) {
        Forget(it);
    }
}

void ReplyBudget::Forget(std::map<uint64_t, std::shared_ptr<Held>>::iterator holder) {
    const std::shared_ptr<Held> held = holder->second;
    m_holders.erase(holder);
    if (--held->holders > 0) {
        return;
    }
    m_held -= held->reply->size();
    const auto range = m_byHash.equal_range(held->hash);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == held) {
            m_byHash.erase(it);
            break;
        }
    }
}

}  // namespace pellquin
