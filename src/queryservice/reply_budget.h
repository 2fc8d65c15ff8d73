#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace pellquin {

// Bounds the reply bytes the service holds for clients that are slow to read them, or never
// do. Identical replies (many clients asking for the same path at once) are held once and
// shared. When a new reply would take the distinct bytes held past the cap, the oldest
// holders (the writes that have waited longest) are dropped until it fits; the new reply is
// always taken, so one reply larger than the cap is still served when nothing else waits.
// Not thread-safe: the server uses it from its I/O thread only.
class ReplyBudget {
public:
    using Reply = std::shared_ptr<const std::vector<uint8_t>>;

    struct Admission {
        uint64_t ticket = 0;            // Release it when the write ends
        Reply reply;                    // the bytes to write, perhaps shared
        std::vector<uint64_t> dropped;  // earlier tickets, oldest first: close their writes
    };

    explicit ReplyBudget(size_t capBytes);

    Admission Admit(std::vector<uint8_t> reply);

    // Ends a holder; tickets already dropped or released are ignored.
    void Release(uint64_t ticket);

    // Distinct bytes held now.
    size_t HeldBytes() const { return m_held; }

private:
    struct Held {
        Reply reply;
        size_t hash = 0;
        size_t holders = 0;
    };

    void Forget(std::map<uint64_t, std::shared_ptr<Held>>::iterator holder);

    size_t m_cap;
    size_t m_held = 0;
    uint64_t m_nextTicket = 1;
    std::map<uint64_t, std::shared_ptr<Held>> m_holders;  // by ticket: oldest first
    std::unordered_multimap<size_t, std::shared_ptr<Held>> m_byHash;
};

}  // namespace pellquin
