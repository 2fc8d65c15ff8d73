#include "protocol/byte_reader.h"

#include <cstring>

#include "protocol/service_records.h"

namespace pellquin {

ByteReader::ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

ByteReader::ByteReader(const std::vector<uint8_t>& data)
    : m_data(data.data()), m_size(data.size()) {}

const uint8_t* ByteReader::Take(size_t count, const char* what) {
    if (!Require(count, what)) {
        return nullptr;
    }
    const uint8_t* bytes = m_data + m_offset;
    m_offset += count;
    return bytes;
}

bool ByteReader::Require(size_t count, const char* what) {
    if (!Ok()) {
        return false;
    }
    if (count > Remaining()) {
        Fail("unexpected end of data at offset " + std::to_string(m_offset) + " reading " + what +
             ": " + std::to_string(count) + " bytes needed, " + std::to_string(Remaining()) +
             " left");
        return false;
    }
    return true;
}

void ByteReader::Fail(const std::string& message) {
    if (Ok()) {
        m_errorOffset = m_offset;
        m_error = message.empty() ? std::string("invalid data") : message;
    }
}

uint8_t ByteReader::ReadU8() {
    const uint8_t* p = Take(1, "an 8-bit integer");
    return p ? p[0] : 0;
}

uint32_t ByteReader::ReadU32LE() {
    const uint8_t* p = Take(4, "a 32-bit integer");
    if (!p) {
        return 0;
    }
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int32_t ByteReader::ReadI32LE() {
    return static_cast<int32_t>(ReadU32LE());
}

uint32_t ByteReader::ReadU32BE() {
    const uint8_t* p = Take(4, "a 32-bit integer");
    if (!p) {
        return 0;
    }
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

std::string ByteReader::ReadStringField() {
    const uint8_t* p = Take(kStringFieldSize, "a string field");
    if (!p) {
        return std::string();
    }
    const void* nul = std::memchr(p, 0, kMaxFieldText);
    const size_t length =
        nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : kMaxFieldText;
    return std::string(reinterpret_cast<const char*>(p), length);
}

void ByteReader::Skip(size_t count) {
    Take(count, "reserved bytes");
}

}  // namespace pellquin
