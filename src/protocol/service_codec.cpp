#include "protocol/service_codec.h"

namespace pellquin {
namespace {

constexpr size_t kRowCountOffset = 772;

EncodedRecord Finish(ByteWriter& writer) {
    EncodedRecord record;
    record.problem = writer.Problem();
    record.problemOffset = writer.ProblemOffset();
    if (record.Ok()) {
        record.bytes = writer.Take();
    }
    return record;
}

void PutReplyHeader(ByteWriter& writer, const ServiceReplyHeader& header, int32_t rowCount) {
    writer.PutZeros(4);
    writer.PutStringField(header.ErrorText);
    writer.PutStringField(header.BasePath);
    writer.PutZeros(kRowCountOffset - 514);
    writer.PutI32LE(rowCount);
}

void PutReplyRow(ByteWriter& writer, const ServiceReplyRow& row) {
    writer.PutStringField(row.PathName);
    writer.PutStringField(row.UserName);
    writer.PutZeros(2);
    writer.PutU32LE(row.Id);
    writer.PutU32LE(row.Permissions);
    writer.PutU32LE(row.NumLocks);
}

}  // namespace

std::array<uint8_t, kLengthPrefixSize> EncodeLength(uint32_t length) {
    return {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
            static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
}

EncodedRecord EncodeRequestRecord(const ServiceRequestRecord& record) {
    ByteWriter writer;
    writer.PutStringField(record.Server);
    writer.PutStringField(record.Share);
    writer.PutStringField(record.Path);
    writer.PutU8(record.RequestKind);
    writer.PutZeros(2);
    writer.PutU32LE(record.FileId);
    writer.PutStringField(record.UserName);
    writer.PutStringField(record.ComputerName);
    writer.PutZeros(2);
    return Finish(writer);
}

EncodedRecord EncodeReplyHeader(const ServiceReplyHeader& header) {
    ByteWriter writer;
    PutReplyHeader(writer, header, header.RowCount);
    return Finish(writer);
}

EncodedRecord EncodeReplyRow(const ServiceReplyRow& row) {
    ByteWriter writer;
    PutReplyRow(writer, row);
    return Finish(writer);
}

EncodedRecord EncodeQueryReply(const ServiceReplyHeader& header,
                               const std::vector<ServiceReplyRow>& rows) {
    ByteWriter writer;
    PutReplyHeader(writer, header, static_cast<int32_t>(rows.size()));
    for (const ServiceReplyRow& row : rows) {
        PutReplyRow(writer, row);
    }
    return Finish(writer);
}

uint32_t DecodeLength(ByteReader& reader) {
    return reader.ReadU32BE();
}

ServiceRequestRecord DecodeRequestRecord(ByteReader& reader) {
    ServiceRequestRecord record;
    if (!reader.Require(kRequestRecordSize, "the request record")) {
        return record;
    }
    record.Server = reader.ReadStringField();
    record.Share = reader.ReadStringField();
    record.Path = reader.ReadStringField();
    record.RequestKind = reader.ReadU8();
    reader.Skip(2);
    record.FileId = reader.ReadU32LE();
    record.UserName = reader.ReadStringField();
    record.ComputerName = reader.ReadStringField();
    reader.Skip(2);
    return record;
}

ServiceReplyHeader DecodeReplyHeader(ByteReader& reader) {
    ServiceReplyHeader header;
    if (!reader.Require(kReplyHeaderSize, "the reply header")) {
        return header;
    }
    reader.Skip(4);
    header.ErrorText = reader.ReadStringField();
    header.BasePath = reader.ReadStringField();
    reader.Skip(kRowCountOffset - 514);
    header.RowCount = reader.ReadI32LE();
    return header;
}

ServiceReplyRow DecodeReplyRow(ByteReader& reader) {
    ServiceReplyRow row;
    if (!reader.Require(kReplyRowSize, "a reply row")) {
        return row;
    }
    row.PathName = reader.ReadStringField();
    row.UserName = reader.ReadStringField();
    reader.Skip(2);
    row.Id = reader.ReadU32LE();
    row.Permissions = reader.ReadU32LE();
    row.NumLocks = reader.ReadU32LE();
    return row;
}

DecodedQueryReply DecodeQueryReply(const uint8_t* body, size_t size) {
    DecodedQueryReply reply;
    ByteReader reader(body, size);
    reply.header = DecodeReplyHeader(reader);
    reply.headerOk = reader.Ok();
    for (int32_t i = 0; reader.Ok() && i < reply.header.RowCount; ++i) {
        ServiceReplyRow row = DecodeReplyRow(reader);
        if (reader.Ok()) {
            reply.rows.push_back(std::move(row));
        }
    }
    reply.ok = reader.Ok();
    if (!reply.ok) {
        reply.errorOffset = reader.ErrorOffset();
        reply.error = reader.Error();
    }
    return reply;
}

}  // namespace pellquin
