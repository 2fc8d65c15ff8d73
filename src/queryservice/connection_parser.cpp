#include "queryservice/connection_parser.h"

#include <algorithm>

#include "protocol/service_records.h"

namespace pellquin {

ConnectionParser::Event ConnectionParser::Feed(const uint8_t* data, size_t size, size_t* consumed) {
    size_t used = 0;
    Event event = Event::None;
    while (used < size && event == Event::None && m_state != State::Done) {
        switch (m_state) {
            case State::Line: {
                const char c = static_cast<char>(data[used++]);
                if (c != '\n') {
                    m_line.push_back(c);
                    if (m_line.size() > kMaxHandshakeLine) {
                        event = Reject("handshake line too long");
                    }
                    break;
                }
                if (!m_line.empty() && m_line.back() == '\r') {
                    m_line.pop_back();
                }
                if (m_line != "Request") {
                    event = Reject("bad handshake");
                    break;
                }
                m_state = State::Length;
                event = Event::HandshakeAccepted;
                break;
            }
            case State::Length: {
                m_length[m_lengthBytes++] = data[used++];
                if (m_lengthBytes < sizeof m_length) {
                    break;
                }
                const uint32_t length = uint32_t{m_length[0]} << 24 | uint32_t{m_length[1]} << 16 |
                                        uint32_t{m_length[2]} << 8 | uint32_t{m_length[3]};
                if (length != kRequestRecordSize) {
                    event = Reject("request length " + std::to_string(length));
                    break;
                }
                m_record.reserve(kRequestRecordSize);
                m_state = State::Record;
                break;
            }
            case State::Record: {
                const size_t take = std::min(size - used, kRequestRecordSize - m_record.size());
                m_record.insert(m_record.end(), data + used, data + used + take);
                used += take;
                if (m_record.size() == kRequestRecordSize) {
                    m_state = State::Done;
                    event = Event::RecordReady;
                }
                break;
            }
            case State::Done:
                break;
        }
    }
    if (m_state == State::Done) {
        used = size;
    }
    *consumed = used;
    return event;
}

ConnectionParser::Event ConnectionParser::Reject(std::string reason) {
    m_state = State::Done;
    m_reason = std::move(reason);
    return Event::Rejected;
}

}  // namespace pellquin
