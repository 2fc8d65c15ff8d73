// The service's accept and feed loop under an arbitrary script of clients: connections
// accepted from a few addresses (ConnectionAdmission), bytes fed to them in arbitrary
// pieces (ClientConversation), replies handed to the reply budget (ReplyBudget) and
// connections closing in any order, as the server's I/O thread drives them. The counts must
// always match the connections that are open, and the held bytes stay within the cap.
//
// Input: a script of operations; byte 0 of each picks one, the following bytes are its
// arguments (see the switch below).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "queryservice/client_conversation.h"
#include "queryservice/connection_admission.h"
#include "queryservice/reply_budget.h"

namespace {

using namespace pellquin;

constexpr size_t kMaxTotal = 6;
constexpr size_t kMaxPerClient = 3;
constexpr size_t kCap = 4096;

struct Connection {
    std::string peer;
    ClientConversation conversation;
    bool dispatched = false;
    uint64_t ticket = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> peers = {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"};
    ConnectionAdmission admission({"10.0.0.1", "10.0.0.2", "10.0.0.3"}, kMaxTotal, kMaxPerClient);
    ReplyBudget budget(kCap);
    std::map<int, std::unique_ptr<Connection>> open;
    std::map<uint64_t, int> writers;
    int nextId = 0;
    size_t i = 0;
    const auto next = [&]() -> uint8_t { return i < size ? data[i++] : 0; };
    const auto end = [&](int id) {
        auto it = open.find(id);
        if (it == open.end()) {
            return;
        }
        admission.Release(it->second->peer);
        if (it->second->ticket != 0) {
            budget.Release(it->second->ticket);
            writers.erase(it->second->ticket);
        }
        open.erase(it);
    };
    while (i < size) {
        const uint8_t op = next();
        switch (op % 4) {
            case 0: {  // accept
                const std::string& peer = peers[next() % peers.size()];
                if (admission.Admit(peer) == ConnectionAdmission::Verdict::Admitted) {
                    auto connection = std::make_unique<Connection>();
                    connection->peer = peer;
                    open[nextId++] = std::move(connection);
                }
                break;
            }
            case 1: {  // bytes arrive on a connection
                if (open.empty()) {
                    break;
                }
                auto it = open.begin();
                std::advance(it, next() % open.size());
                const size_t length = std::min<size_t>(next() % 64 + 1, size - i);
                Connection& connection = *it->second;
                ClientConversation::Next step = connection.conversation.Received(data + i, length);
                i += length;
                while (step == ClientConversation::Next::SendHandshake) {
                    step = connection.conversation.Resume();
                }
                if (step == ClientConversation::Next::Close) {
                    end(it->first);
                } else if (step == ClientConversation::Next::Dispatch) {
                    if (connection.dispatched) {
                        std::abort();  // one request per connection
                    }
                    connection.dispatched = true;
                }
                break;
            }
            case 2: {  // a dispatched request's reply is written
                for (auto& [id, connection] : open) {
                    if (connection->dispatched && connection->ticket == 0) {
                        std::vector<uint8_t> reply(next() * 16u, static_cast<uint8_t>(op >> 2));
                        ReplyBudget::Admission admitted = budget.Admit(std::move(reply));
                        connection->ticket = admitted.ticket;
                        writers[admitted.ticket] = id;
                        for (const uint64_t dropped : admitted.dropped) {
                            const auto writer = writers.find(dropped);
                            if (writer == writers.end()) {
                                std::abort();  // dropped a ticket that holds nothing
                            }
                            const int droppedId = writer->second;
                            writers.erase(writer);
                            open[droppedId]->ticket = 0;  // already released by the budget
                            end(droppedId);
                        }
                        break;
                    }
                }
                break;
            }
            default: {  // a connection ends
                if (!open.empty()) {
                    auto it = open.begin();
                    std::advance(it, next() % open.size());
                    end(it->first);
                }
                break;
            }
        }
        if (admission.Active() != open.size() || open.size() > kMaxTotal) {
            std::abort();
        }
        std::map<std::string, size_t> perPeer;
        for (const auto& entry : open) {
            if (++perPeer[entry.second->peer] > kMaxPerClient || entry.second->peer == peers[3]) {
                std::abort();
            }
        }
        // Each reply is at most 255 * 16 bytes, below the cap: the cap always holds.
        if (budget.HeldBytes() > kCap) {
            std::abort();
        }
    }
    for (auto it = open.begin(); it != open.end();) {
        end((it++)->first);
    }
    if (admission.Active() != 0 || budget.HeldBytes() != 0) {
        std::abort();
    }
    return 0;
}
