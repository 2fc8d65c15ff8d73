#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pellquin {

// Why a text cannot be stored in a 255-byte string field.
enum class FieldProblem {
    None,
    TooLong,      // more than 254 bytes
    EmbeddedNul,  // the receiver would read only the part before the NUL
};

// Appends integers and fixed string fields to a byte buffer. A text that does not fit its
// field sets a sticky problem (the first one is kept) and is written as an all-zero field,
// so offsets stay right and nothing half-written can pass for the real text.
class ByteWriter {
public:
    void PutU8(uint8_t value);
    void PutU32LE(uint32_t value);
    void PutI32LE(int32_t value);
    void PutU32BE(uint32_t value);
    void PutStringField(const std::string& text);
    void PutZeros(size_t count);

    bool Ok() const { return m_problem == FieldProblem::None; }
    FieldProblem Problem() const { return m_problem; }
    // Offset of the first field that did not fit.
    size_t ProblemOffset() const { return m_problemOffset; }

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
    FieldProblem m_problem = FieldProblem::None;
    size_t m_problemOffset = 0;
};

}  // namespace pellquin
