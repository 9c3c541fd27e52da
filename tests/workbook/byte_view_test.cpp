#include "workbook/byte_view.h"

#include <gtest/gtest.h>

namespace gridport {
namespace {

TEST(ByteReader, DecodesLittleEndianFields) {
  const std::uint8_t bytes[] = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, 0xFF};
  TByteReader r(bytes, sizeof bytes);
  EXPECT_EQ(r.U16(), 0x1234);
  EXPECT_EQ(r.U32(), 0x12345678u);
  EXPECT_EQ(r.Double(), 1.0);
  EXPECT_THROW(r.I16(), EXLSError) << "one byte left: a 16-bit field must not be read";
}

TEST(ByteReader, ThrowsInsteadOfReadingPastTheEnd) {
  const std::uint8_t bytes[] = {1, 2, 3};
  TByteReader r(bytes, sizeof bytes, "SST");
  EXPECT_EQ(r.U8(), 1);
  EXPECT_THROW(r.U32(), EXLSError);
  EXPECT_EQ(r.Position(), 1u) << "a failed read consumes nothing";
  EXPECT_THROW(r.Skip(3), EXLSError);
  EXPECT_NO_THROW(r.Skip(2));
  EXPECT_EQ(r.Remaining(), 0u);
}

}  // namespace
}  // namespace gridport
