#include "protocol/byte_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/byte_writer.h"

namespace pellquin {
namespace {

TEST(ByteReaderTest, IntegersInBothByteOrders) {
    const std::vector<uint8_t> bytes = {0x04, 0x03, 0x02, 0x01, 0x01, 0x02, 0x03,
                                        0x04, 0xfe, 0xff, 0xff, 0xff, 0x7f};
    ByteReader reader(bytes);
    EXPECT_EQ(reader.ReadU32LE(), 0x01020304u);
    EXPECT_EQ(reader.ReadU32BE(), 0x01020304u);
    EXPECT_EQ(reader.ReadI32LE(), -2);
    EXPECT_EQ(reader.ReadU8(), 0x7f);
    EXPECT_TRUE(reader.Ok());
    EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(ByteReaderTest, ErrorIsStickyAndKeepsTheOffsetWhereDataRanOut) {
    const std::vector<uint8_t> bytes = {1, 0, 0, 0, 9, 9};
    ByteReader reader(bytes);
    EXPECT_EQ(reader.ReadU32LE(), 1u);
    EXPECT_EQ(reader.ReadU32LE(), 0u);  // only two bytes left
    EXPECT_FALSE(reader.Ok());
    EXPECT_EQ(reader.ErrorOffset(), 4u);
    EXPECT_EQ(reader.Error(),
              "unexpected end of data at offset 4 reading a 32-bit integer: 4 bytes needed, "
              "2 left");

    // Reads that would fit now still fail, and neither offset nor message moves.
    EXPECT_EQ(reader.ReadU8(), 0);
    EXPECT_EQ(reader.Offset(), 4u);
    reader.Fail("later failure");
    EXPECT_EQ(reader.ErrorOffset(), 4u);
    EXPECT_NE(reader.Error().find("offset 4"), std::string::npos);
}

TEST(ByteReaderTest, StringFieldsStopAtTheNulOrAfter254Bytes) {
    struct Case {
        const char* name;
        std::string field;  // 255 bytes on the wire
        std::string expected;
    };
    const std::string garbage(200, 'g');
    const Case cases[] = {
        {"empty", std::string(255, '\0'), ""},
        {"short", "abc" + std::string(1, '\0') + garbage + std::string(51, 'z'), "abc"},
        {"254 and NUL", std::string(254, 'p') + std::string(1, '\0'), std::string(254, 'p')},
        {"no NUL", std::string(255, 'x'), std::string(254, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.field.size(), 255u);
        std::vector<uint8_t> bytes(c.field.begin(), c.field.end());
        bytes.push_back(0xab);
        ByteReader reader(bytes);
        EXPECT_EQ(reader.ReadStringField(), c.expected);
        EXPECT_EQ(reader.Offset(), 255u);  // the whole field, never past it
        EXPECT_EQ(reader.ReadU8(), 0xab);
    }
}

TEST(ByteWriterTest, StringFieldsThatDoNotFitAreRefusedAndZeroed) {
    struct Case {
        const char* name;
        std::string text;
        FieldProblem problem;
    };
    const Case cases[] = {
        {"empty", "", FieldProblem::None},
        {"254 bytes", std::string(254, 'a'), FieldProblem::None},
        {"255 bytes", std::string(255, 'a'), FieldProblem::TooLong},
        {"1000 bytes", std::string(1000, 'a'), FieldProblem::TooLong},
        {"embedded NUL", std::string("a\0b", 3), FieldProblem::EmbeddedNul},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ByteWriter writer;
        writer.PutU8(7);
        writer.PutStringField(c.text);
        EXPECT_EQ(writer.Problem(), c.problem);
        ASSERT_EQ(writer.Bytes().size(), 1u + 255u);
        std::string field(writer.Bytes().begin() + 1, writer.Bytes().end());
        if (c.problem == FieldProblem::None) {
            EXPECT_EQ(field, c.text + std::string(255 - c.text.size(), '\0'));
        } else {
            EXPECT_EQ(writer.ProblemOffset(), 1u);
            EXPECT_EQ(field, std::string(255, '\0'));
        }
    }
}

}  // namespace
}  // namespace pellquin
