#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellquin {

// Reads integers and fixed string fields from a byte buffer it does not own. The first read
// that runs past the end (or a failure the caller declares) sets a sticky error: from then
// on every read returns zero or an empty string and the offset stays where the error was.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size);
    explicit ByteReader(const std::vector<uint8_t>& data);

    uint8_t ReadU8();
    uint32_t ReadU32LE();
    int32_t ReadI32LE();
    uint32_t ReadU32BE();

    // A 255-byte string field: the text up to its NUL, or its first 254 bytes when the
    // field holds no NUL. Always consumes the whole field.
    std::string ReadStringField();

    void Skip(size_t count);

    // Fails unless `count` bytes remain; `what` names the data for the error text. Lets a
    // decoder refuse a whole record at its first byte rather than half way through.
    bool Require(size_t count, const char* what);

    // Declares a failure at the current offset, e.g. a value that cannot be right.
    void Fail(const std::string& message);

    bool Ok() const { return m_error.empty(); }
    size_t Offset() const { return m_offset; }
    size_t Remaining() const { return m_size - m_offset; }

    // Where the failed read began, and a text naming the offset and what was missing.
    size_t ErrorOffset() const { return m_errorOffset; }
    const std::string& Error() const { return m_error; }

private:
    // Returns the next `count` bytes, or nullptr (and sets the error) when they are not there.
    const uint8_t* Take(size_t count, const char* what);

    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
    size_t m_errorOffset = 0;
    std::string m_error;
};

}  // namespace pellquin
