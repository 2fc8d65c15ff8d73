#include "protocol/service_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pellquin {
namespace {

using Bytes = std::vector<uint8_t>;

std::string At(const Bytes& bytes, size_t offset, size_t count) {
    return std::string(bytes.begin() + offset, bytes.begin() + offset + count);
}

std::string Field(const std::string& text) {
    return text + std::string(255 - text.size(), '\0');
}

std::string Le(uint32_t value) {
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

TEST(ServiceCodecTest, LengthPrefixIsBigEndian) {
    const struct {
        uint32_t value;
        Bytes bytes;
    } cases[] = {
        {1284, {0x00, 0x00, 0x05, 0x04}},
        {0, {0, 0, 0, 0}},
        {0x01020304, {1, 2, 3, 4}},
        {0xffffffff, {0xff, 0xff, 0xff, 0xff}},
    };
    for (const auto& c : cases) {
        const auto encoded = EncodeLength(c.value);
        EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), c.bytes);
        ByteReader reader(c.bytes);
        EXPECT_EQ(DecodeLength(reader), c.value);
    }
}

ServiceRequestRecord SampleRequest() {
    ServiceRequestRecord record;
    record.Server = "FS01";
    record.Share = "Data";
    record.Path = "Reports\\q1.xls";
    record.RequestKind = 2;
    record.FileId = 5;
    record.UserName = "alice";
    record.ComputerName = "WS01";
    return record;
}

TEST(ServiceCodecTest, RequestRecordIsLaidOutByteForByte) {
    const EncodedRecord encoded = EncodeRequestRecord(SampleRequest());
    ASSERT_TRUE(encoded.Ok());

    std::string expected = Field("FS01") + Field("Data") + Field("Reports\\q1.xls");
    expected += std::string("\x02\0\0", 3) + Le(5) + Field("alice") + Field("WS01");
    expected += std::string(2, '\0');
    ASSERT_EQ(expected.size(), kRequestRecordSize);
    EXPECT_EQ(At(encoded.bytes, 0, kRequestRecordSize), expected);
    EXPECT_EQ(At(encoded.bytes, 768, 4), std::string("\x05\0\0\0", 4));

    ByteReader reader(encoded.bytes);
    const ServiceRequestRecord decoded = DecodeRequestRecord(reader);
    EXPECT_TRUE(reader.Ok());
    EXPECT_EQ(decoded.Server, "FS01");
    EXPECT_EQ(decoded.Share, "Data");
    EXPECT_EQ(decoded.Path, "Reports\\q1.xls");
    EXPECT_EQ(decoded.RequestKind, 2);
    EXPECT_EQ(decoded.FileId, 5u);
    EXPECT_EQ(decoded.UserName, "alice");
    EXPECT_EQ(decoded.ComputerName, "WS01");
}

TEST(ServiceCodecTest, EachRequestFieldRefusesATextThatDoesNotFit) {
    const std::string fits(254, 'a');
    const std::string tooLong(255, 'a');
    const struct {
        std::string ServiceRequestRecord::*field;
        size_t offset;
    } fields[] = {
        {&ServiceRequestRecord::Server, 0},          {&ServiceRequestRecord::Share, 255},
        {&ServiceRequestRecord::Path, 510},          {&ServiceRequestRecord::UserName, 772},
        {&ServiceRequestRecord::ComputerName, 1027},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(f.offset);
        ServiceRequestRecord record = SampleRequest();
        record.*f.field = fits;
        const EncodedRecord good = EncodeRequestRecord(record);
        ASSERT_TRUE(good.Ok());
        ByteReader reader(good.bytes);
        EXPECT_EQ(DecodeRequestRecord(reader).*f.field, fits);

        record.*f.field = tooLong;
        const EncodedRecord bad = EncodeRequestRecord(record);
        EXPECT_EQ(bad.problem, FieldProblem::TooLong);
        EXPECT_EQ(bad.problemOffset, f.offset);
        EXPECT_TRUE(bad.bytes.empty());
    }
}

TEST(ServiceCodecTest, ReplyHeaderAndRowAreLaidOutByteForByte) {
    ServiceReplyHeader header;
    header.ErrorText = "Access is denied";
    header.BasePath = "D:\\Data\\";
    header.RowCount = 3;
    const EncodedRecord h = EncodeReplyHeader(header);
    ASSERT_TRUE(h.Ok());
    ASSERT_EQ(h.bytes.size(), kReplyHeaderSize);
    EXPECT_EQ(At(h.bytes, 0, 4), std::string(4, '\0'));
    EXPECT_EQ(At(h.bytes, 4, 255), Field("Access is denied"));
    EXPECT_EQ(At(h.bytes, 259, 255), Field("D:\\Data\\"));
    EXPECT_EQ(At(h.bytes, 514, 258), std::string(258, '\0'));
    EXPECT_EQ(At(h.bytes, 772, 4), Le(3));

    const ServiceReplyRow row{"D:\\Data\\q1.xls", "bob", 0x01020304, 7, 2};
    const EncodedRecord r = EncodeReplyRow(row);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(At(r.bytes, 0, kReplyRowSize), Field("D:\\Data\\q1.xls") + Field("bob") +
                                                 std::string(2, '\0') + Le(0x01020304) + Le(7) +
                                                 Le(2));
}

ServiceReplyRow Row(int i) {
    return {"D:\\Data\\file" + std::to_string(i), "user" + std::to_string(i),
            static_cast<uint32_t>(100 + i), static_cast<uint32_t>(i % 8), static_cast<uint32_t>(i)};
}

TEST(ServiceCodecTest, QueryRepliesRoundTripWithAnyNumberOfRows) {
    for (int count : {0, 1, 50}) {
        SCOPED_TRACE(count);
        std::vector<ServiceReplyRow> rows;
        for (int i = 0; i < count; ++i) {
            rows.push_back(Row(i));
        }
        ServiceReplyHeader header;
        header.ErrorText = count == 0 ? "nothing" : "";
        header.BasePath = "E:\\";
        header.RowCount = 999;  // ignored: the rows given decide
        EncodedRecord encoded = EncodeQueryReply(header, rows);
        ASSERT_TRUE(encoded.Ok());
        ASSERT_EQ(encoded.bytes.size(), kReplyHeaderSize + kReplyRowSize * rows.size());
        encoded.bytes.insert(encoded.bytes.end(), 10, 0xee);  // ignored after the last row

        const DecodedQueryReply reply =
            DecodeQueryReply(encoded.bytes.data(), encoded.bytes.size());
        EXPECT_TRUE(reply.ok) << reply.error;
        EXPECT_EQ(reply.header.ErrorText, header.ErrorText);
        EXPECT_EQ(reply.header.BasePath, "E:\\");
        EXPECT_EQ(reply.header.RowCount, count);
        ASSERT_EQ(reply.rows.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(reply.rows[i].PathName, rows[i].PathName);
            EXPECT_EQ(reply.rows[i].UserName, rows[i].UserName);
            EXPECT_EQ(reply.rows[i].Id, rows[i].Id);
            EXPECT_EQ(reply.rows[i].Permissions, rows[i].Permissions);
            EXPECT_EQ(reply.rows[i].NumLocks, rows[i].NumLocks);
        }
    }
}

TEST(ServiceCodecTest, ReplyRowRefusesATextThatDoesNotFit) {
    ServiceReplyRow row = Row(1);
    row.UserName = std::string(300, 'u');
    const EncodedRecord encoded = EncodeQueryReply({}, {Row(0), row});
    EXPECT_EQ(encoded.problem, FieldProblem::TooLong);
    EXPECT_EQ(encoded.problemOffset, kReplyHeaderSize + kReplyRowSize + 255);
}

TEST(ServiceCodecTest, TruncatedQueryReplyFailsAtTheRecordThatRanOut) {
    const EncodedRecord full = EncodeQueryReply({"", "D:\\", 0}, {Row(0), Row(1), Row(2)});
    ASSERT_TRUE(full.Ok());
    // Every length short of the whole body, boundaries included.
    for (size_t size = 0; size < full.bytes.size(); ++size) {
        const DecodedQueryReply reply = DecodeQueryReply(full.bytes.data(), size);
        ASSERT_FALSE(reply.ok) << size;
        if (size < kReplyHeaderSize) {
            ASSERT_FALSE(reply.headerOk) << size;
            ASSERT_EQ(reply.errorOffset, 0u) << size;
            ASSERT_TRUE(reply.rows.empty()) << size;
            continue;
        }
        const size_t complete = (size - kReplyHeaderSize) / kReplyRowSize;
        const size_t offset = kReplyHeaderSize + complete * kReplyRowSize;
        ASSERT_TRUE(reply.headerOk) << size;
        ASSERT_EQ(reply.rows.size(), complete) << size;
        ASSERT_EQ(reply.errorOffset, offset) << size;
        ASSERT_EQ(reply.error, "unexpected end of data at offset " + std::to_string(offset) +
                                   " reading a reply row: 524 bytes needed, " +
                                   std::to_string(size - offset) + " left");
    }
    const DecodedQueryReply empty = DecodeQueryReply(nullptr, 0);
    EXPECT_EQ(empty.error,
              "unexpected end of data at offset 0 reading the reply header: 776 bytes needed, "
              "0 left");
}

TEST(ServiceCodecTest, RowCountDecidesHowManyRowsAreRead) {
    const EncodedRecord one = EncodeQueryReply({"", "D:\\", 0}, {Row(0)});
    ASSERT_TRUE(one.Ok());
    const struct {
        int32_t count;
        bool ok;
        size_t rows;
        size_t errorOffset;
    } cases[] = {
        // A negative count announces no rows: the row that follows is ignored, no failure.
        {-1, true, 0, 0},
        {INT32_MIN, true, 0, 0},
        {2, false, 1, kReplyHeaderSize + kReplyRowSize},
        {INT32_MAX, false, 1, kReplyHeaderSize + kReplyRowSize},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        Bytes bytes = one.bytes;
        const std::string count = Le(static_cast<uint32_t>(c.count));
        std::copy(count.begin(), count.end(), bytes.begin() + 772);
        const DecodedQueryReply reply = DecodeQueryReply(bytes.data(), bytes.size());
        EXPECT_TRUE(reply.headerOk);
        EXPECT_EQ(reply.ok, c.ok);
        EXPECT_EQ(reply.rows.size(), c.rows);
        EXPECT_EQ(reply.errorOffset, c.errorOffset);
    }
}

TEST(ServiceCodecTest, ShortRecordsFailAtTheirFirstByte) {
    const Bytes prefix(10, 0);
    Bytes shortRequest = prefix;
    shortRequest.resize(prefix.size() + kRequestRecordSize - 1);
    ByteReader reader(shortRequest);
    reader.Skip(prefix.size());
    DecodeRequestRecord(reader);
    EXPECT_FALSE(reader.Ok());
    EXPECT_EQ(reader.ErrorOffset(), 10u);
    EXPECT_EQ(reader.Error(),
              "unexpected end of data at offset 10 reading the request record: 1284 bytes "
              "needed, 1283 left");
}

}  // namespace
}  // namespace pellquin
