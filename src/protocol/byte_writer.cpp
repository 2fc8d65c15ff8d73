#include "protocol/byte_writer.h"

#include "protocol/service_records.h"

namespace pellquin {

void ByteWriter::PutU8(uint8_t value) {
    m_bytes.push_back(value);
}

void ByteWriter::PutU32LE(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        m_bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void ByteWriter::PutI32LE(int32_t value) {
    PutU32LE(static_cast<uint32_t>(value));
}

void ByteWriter::PutU32BE(uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        m_bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void ByteWriter::PutStringField(const std::string& text) {
    FieldProblem problem = FieldProblem::None;
    if (text.size() > kMaxFieldText) {
        problem = FieldProblem::TooLong;
    } else if (text.find('\0') != std::string::npos) {
        problem = FieldProblem::EmbeddedNul;
    }
    if (problem != FieldProblem::None) {
        if (Ok()) {
            m_problem = problem;
            m_problemOffset = m_bytes.size();
        }
        PutZeros(kStringFieldSize);
        return;
    }
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    PutZeros(kStringFieldSize - text.size());
}

void ByteWriter::PutZeros(size_t count) {
    m_bytes.insert(m_bytes.end(), count, 0);
}

}  // namespace pellquin
