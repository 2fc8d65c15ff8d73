#include "queryservice/connection_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellquin {
namespace {

using Event = ConnectionParser::Event;
using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Length(uint32_t n) {
    return {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
            static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes RecordBytes() {
    Bytes record(1284);
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<uint8_t>(i * 7);
    }
    return record;
}

// Feeds `input` in pieces of `chunk` bytes and lists the events in order.
std::vector<Event> FeedAll(ConnectionParser& parser, const Bytes& input, size_t chunk) {
    std::vector<Event> events;
    size_t offset = 0;
    while (offset < input.size()) {
        const size_t piece = std::min(chunk, input.size() - offset);
        size_t done = 0;
        while (done < piece) {
            size_t used = 0;
            const Event event = parser.Feed(input.data() + offset + done, piece - done, &used);
            EXPECT_GT(used, 0u);
            done += used;
            if (event != Event::None) {
                events.push_back(event);
            }
        }
        offset += piece;
    }
    return events;
}

TEST(ConnectionParser, AWellFormedConversationInAnyChunkingGivesTheRecord) {
    const Bytes record = RecordBytes();
    const Bytes inputs[] = {
        Concat({Text("Request\r\n"), Length(1284), record}),
        Concat({Text("Request\n"), Length(1284), record}),
        // Bytes after the record are not the service's concern.
        Concat({Text("Request\r\n"), Length(1284), record, Text("extra")}),
    };
    for (const Bytes& input : inputs) {
        for (size_t chunk : {size_t{1}, size_t{3}, size_t{700}, input.size()}) {
            SCOPED_TRACE("chunk " + std::to_string(chunk));
            ConnectionParser parser;
            EXPECT_EQ(FeedAll(parser, input, chunk),
                      (std::vector<Event>{Event::HandshakeAccepted, Event::RecordReady}));
            EXPECT_EQ(parser.Record(), record);
        }
    }
}

TEST(ConnectionParser, AnythingElseIsRejectedAndNothingFollows) {
    struct Case {
        const char* name;
        Bytes input;
        std::vector<Event> events;
        const char* reason;
    };
    const std::vector<Event> rejected = {Event::Rejected};
    const std::vector<Event> afterHandshake = {Event::HandshakeAccepted, Event::Rejected};
    const Case cases[] = {
        {"lower case", Text("request\r\n"), rejected, "bad handshake"},
        {"trailing blank", Text("Request \r\n"), rejected, "bad handshake"},
        {"empty line", Text("\r\nRequest\r\n"), rejected, "bad handshake"},
        {"binary garbage", Bytes{0x00, 0xff, 0x10, '\n'}, rejected, "bad handshake"},
        {"endless line", Bytes(100000, 'R'), rejected, "handshake line too long"},
        {"length one short", Concat({Text("Request\r\n"), Length(1283)}), afterHandshake,
         "request length 1283"},
        {"length one long", Concat({Text("Request\r\n"), Length(1285)}), afterHandshake,
         "request length 1285"},
        {"huge length", Concat({Text("Request\r\n"), Length(0xffffffff), Bytes(5000, 1)}),
         afterHandshake, "request length 4294967295"},
        {"zero length", Concat({Text("Request\r\n"), Length(0)}), afterHandshake,
         "request length 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionParser parser;
        EXPECT_EQ(FeedAll(parser, c.input, 4096), c.events);
        EXPECT_EQ(parser.Reason(), c.reason);
        EXPECT_TRUE(parser.Record().empty());
    }
}

TEST(ConnectionParser, AnIncompleteConversationWaitsForMore) {
    ConnectionParser parser;
    const Bytes input = Concat({Text("Request\r\n"), Length(1284), Bytes(1283, 0)});
    EXPECT_EQ(FeedAll(parser, input, 64), std::vector<Event>{Event::HandshakeAccepted});
}

}  // namespace
}  // namespace pellquin
