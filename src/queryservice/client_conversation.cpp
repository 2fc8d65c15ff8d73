#include "queryservice/client_conversation.h"

namespace pellquin {

ClientConversation::Next ClientConversation::Received(const uint8_t* data, size_t size) {
    if (m_finished) {
        return Next::Close;
    }
    // Only called after Read, when every earlier byte has been used.
    m_pending.assign(data, data + size);
    m_offset = 0;
    return Work();
}

ClientConversation::Next ClientConversation::Resume() {
    if (m_finished) {
        return Next::Close;
    }
    return Work();
}

ClientConversation::Next ClientConversation::Work() {
    while (m_offset < m_pending.size()) {
        size_t used = 0;
        const auto event =
            m_parser.Feed(m_pending.data() + m_offset, m_pending.size() - m_offset, &used);
        m_offset += used;
        switch (event) {
            case ConnectionParser::Event::None:
                break;
            case ConnectionParser::Event::Rejected:
                m_finished = true;
                m_pending.clear();
                return Next::Close;
            case ConnectionParser::Event::HandshakeAccepted:
                return Next::SendHandshake;
            case ConnectionParser::Event::RecordReady:
                m_finished = true;
                m_pending.clear();
                return Next::Dispatch;
        }
    }
    m_pending.clear();
    m_offset = 0;
    return Next::Read;
}

}  // namespace pellquin
