#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/byte_reader.h"
#include "protocol/byte_writer.h"
#include "protocol/service_records.h"

namespace pellquin {

// Largest reply body either side accepts; a longer announced length is refused unread.
constexpr uint32_t kMaxReplyLength = 256u * 1024 * 1024;

// The bytes of one record, or the first string field that did not fit (bytes then empty).
struct EncodedRecord {
    std::vector<uint8_t> bytes;
    FieldProblem problem = FieldProblem::None;
    size_t problemOffset = 0;  // offset of that field within the record

    bool Ok() const { return problem == FieldProblem::None; }
};

std::array<uint8_t, kLengthPrefixSize> EncodeLength(uint32_t length);
EncodedRecord EncodeRequestRecord(const ServiceRequestRecord& record);
EncodedRecord EncodeReplyHeader(const ServiceReplyHeader& header);
EncodedRecord EncodeReplyRow(const ServiceReplyRow& row);

// A whole query reply body: the header with RowCount set to rows.size() (header.RowCount is
// ignored), then the rows. A close reply is EncodeReplyHeader alone.
EncodedRecord EncodeQueryReply(const ServiceReplyHeader& header,
                               const std::vector<ServiceReplyRow>& rows);

// Each decoder first requires the whole record, so a short buffer fails at the record's
// first byte; on failure the reader's error is set and a default record is returned.
uint32_t DecodeLength(ByteReader& reader);
ServiceRequestRecord DecodeRequestRecord(ByteReader& reader);
ServiceReplyHeader DecodeReplyHeader(ByteReader& reader);
ServiceReplyRow DecodeReplyRow(ByteReader& reader);

// A query reply body as far as it could be read: the rows before the first missing one are
// kept. Fails on a short header or fewer rows than announced; a negative row count announces
// no rows. Rows are never reserved up front, so an absurd count costs nothing. Bytes after
// the last announced row are ignored.
struct DecodedQueryReply {
    ServiceReplyHeader header;
    std::vector<ServiceReplyRow> rows;
    bool headerOk = false;  // the header was complete; `header` holds it
    bool ok = false;        // the header and every announced row were complete
    size_t errorOffset = 0;
    std::string error;
};
DecodedQueryReply DecodeQueryReply(const uint8_t* body, size_t size);

}  // namespace pellquin
