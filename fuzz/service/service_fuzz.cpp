// The query service's request path under arbitrary bytes: the sessions' own conversation
// step (ClientConversation) fed in arbitrary pieces as a session's reads deliver them, then
// the request handler on whatever record results, over a scripted file server. Every reply
// must be a readable reply; nothing may crash, hang or grow.
//
// Input: byte 0 picks the mode and the piece size; the rest is what a client sends (mode
// "stream") or the record itself (mode "record", any length, straight to the handler).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fake_net_file_api.h"
#include "fake_system_info.h"
#include "platform/wire_text.h"
#include "protocol/service_codec.h"
#include "queryservice/client_conversation.h"
#include "queryservice/request_handler.h"

namespace {

using namespace pellquin;

// The default code page, so that every reply also passes through the conversion.
std::unique_ptr<WireText> WindowsWireText() {
    std::string error;
    return MakeWireText(std::string(), &error);
}

std::unique_ptr<RequestHandler> MakeHandler(bool strict) {
    auto netFiles = std::make_unique<test::FakeNetFileApi>();
    netFiles->shareFolders["data"] = "D:\\Data";
    netFiles->shareFolders[std::string(300, 's')] = "D:\\" + std::string(300, 'd');
    netFiles->rounds = {
        {NET_MORE_DATA, {{1, 3, 0, "D:\\Data\\a.txt", "bob"}}},
        {NET_OK, {{2, 1, 1, "D:\\Data\\" + std::string(400, '\xC3'), std::string(1, '\0')}}}};
    netFiles->closeResults[7] = 2;
    HandlerPolicy policy;
    if (strict) {
        policy.allowedClients = {"10.0.0.1"};
        policy.refuseClose = true;
    }
    return std::make_unique<RequestHandler>(std::move(netFiles),
                                            std::make_unique<test::FakeSystemInfo>(),
                                            WindowsWireText(), std::move(policy), nullptr);
}

void CheckReply(const std::vector<uint8_t>& body) {
    const DecodedQueryReply reply = DecodeQueryReply(body.data(), body.size());
    if (!reply.ok || body.size() != kReplyHeaderSize + kReplyRowSize * reply.rows.size()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t control = data[0];
    ++data;
    --size;
    const bool strict = (control & 0x02) != 0;
    auto handler = MakeHandler(strict);
    if (control & 0x01) {
        CheckReply(handler->Handle("10.0.0.1", data, size));
        return 0;
    }
    const size_t piece = 1 + (control >> 2);
    ClientConversation conversation;
    size_t offset = 0;
    bool handshakeSent = false;
    // The session's loop: read a piece, act on what the conversation asks for.
    while (offset < size) {
        const size_t length = std::min(piece, size - offset);
        ClientConversation::Next next = conversation.Received(data + offset, length);
        offset += length;
        while (next == ClientConversation::Next::SendHandshake) {
            if (handshakeSent) {
                std::abort();  // a second handshake on one connection
            }
            handshakeSent = true;
            next = conversation.Resume();
        }
        if (conversation.Record().size() > kRequestRecordSize) {
            std::abort();
        }
        if (next == ClientConversation::Next::Dispatch) {
            if (!handshakeSent || conversation.Record().size() != kRequestRecordSize) {
                std::abort();
            }
            CheckReply(handler->Handle("10.0.0.2", conversation.Record().data(),
                                       conversation.Record().size()));
            break;
        }
        if (next == ClientConversation::Next::Close) {
            break;
        }
    }
    return 0;
}
