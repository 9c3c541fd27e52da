// The inflating stream: header bytes, reads in pieces, seeks, errors.
#include "openxml/zip_inflate_stream.h"

#include <gtest/gtest.h>

#include "tests/openxml/zip_builder.h"
#include "tests/openxml/zip_test_util.h"

namespace gridport {
namespace {

using test::Bytes;

TEST(ZipInflateStream, HeaderFlagByteForEachLevel) {
  const struct {
    std::uint16_t zip_flags;
    std::uint8_t flag;
  } cases[] = {{0, 0x9C}, {2, 0xDA}, {4, 0x5E}, {6, 0x01}, {0x0809, 0x9C}};
  for (const auto& c : cases) {
    EXPECT_EQ(ZlibHeaderFlagForZipFlags(c.zip_flags), c.flag) << c.zip_flags;
    EXPECT_EQ((0x78 * 256 + ZlibHeaderFlagForZipFlags(c.zip_flags)) % 31, 0);
  }
}

class InflateFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 20000; ++i) text += "<c r=\"A" + std::to_string(i) + "\"/>";
    deflated = test::RawDeflate(text);
  }
  std::string text, deflated;
  const std::uint8_t header[2] = {0x78, 0x9C};
};

TEST_F(InflateFixture, ReadsInPiecesOfAnySize) {
  // The second text ends in long matches: zlib has consumed all input while the end of a match
  // still waits for room in the next read.
  std::string repeated;
  for (int i = 0; i < 500; ++i) repeated += "<c r=\"A1\"/>";
  for (const std::string& expected : {text, repeated}) {
    const std::string data = expected == text ? deflated : test::RawDeflate(expected);
    for (std::size_t piece : {1u, 2u, 7u, 4096u, 65536u, 1u << 20}) {
      TZipInflateStream s(header, 2, Bytes(data), data.size(), true);
      std::string out;
      std::string buffer(piece, '\0');
      for (;;) {
        const std::size_t got = s.Read(buffer.data(), piece);
        out.append(buffer, 0, got);
        if (got < piece) break;
      }
      EXPECT_EQ(out, expected) << piece;
      EXPECT_EQ(s.Position(), expected.size());
      EXPECT_EQ(s.SourcePosition(), data.size() + 2);
    }
  }
}

TEST_F(InflateFixture, SeeksOnlyForwardOrToTheStart) {
  TZipInflateStream s(header, 2, Bytes(deflated), deflated.size(), true);
  char buffer[10];
  ASSERT_EQ(s.Read(buffer, 10), 10u);
  EXPECT_EQ(s.Seek(0, TZipInflateStream::TSeekOrigin::Current), 10u);
  EXPECT_EQ(s.Seek(10000, TZipInflateStream::TSeekOrigin::Current), 10010u);
  EXPECT_EQ(s.Seek(20000, TZipInflateStream::TSeekOrigin::Beginning), 20000u);
  ASSERT_EQ(s.Read(buffer, 10), 10u);
  EXPECT_EQ(std::string(buffer, 10), text.substr(20000, 10));
  EXPECT_ZIP_ERROR(s.Seek(-1, TZipInflateStream::TSeekOrigin::Current), EDecompressionError, "Invalid stream operation");
  EXPECT_ZIP_ERROR(s.Seek(5, TZipInflateStream::TSeekOrigin::Beginning), EDecompressionError, "Invalid stream operation");
  EXPECT_ZIP_ERROR(s.Seek(0, TZipInflateStream::TSeekOrigin::End), EDecompressionError, "Invalid stream operation");
  EXPECT_ZIP_ERROR(s.Write(buffer, 1), EDecompressionError, "Invalid stream operation");
  EXPECT_EQ(s.Seek(0, TZipInflateStream::TSeekOrigin::Beginning), 0u) << "starts over";
  ASSERT_EQ(s.Read(buffer, 10), 10u);
  EXPECT_EQ(std::string(buffer, 10), text.substr(0, 10));
}

TEST_F(InflateFixture, ChecksTheTrailerOnlyWhenOneIsExpected) {
  // Real zlib data (with trailer) read as such: ends cleanly.
  std::string zlib_data(compressBound(static_cast<uLong>(text.size())), '\0');
  uLongf length = static_cast<uLongf>(zlib_data.size());
  ASSERT_EQ(compress(reinterpret_cast<Bytef*>(zlib_data.data()), &length, Bytes(text), text.size()), Z_OK);
  zlib_data.resize(length);
  std::string out(text.size() + 10, '\0');
  TZipInflateStream whole(nullptr, 0, Bytes(zlib_data), zlib_data.size(), false);
  EXPECT_EQ(whole.Read(out.data(), out.size()), text.size());

  // A wrong trailer is damage in zlib data...
  zlib_data[zlib_data.size() - 1] ^= 1;
  TZipInflateStream damaged(nullptr, 0, Bytes(zlib_data), zlib_data.size(), false);
  EXPECT_ZIP_ERROR(damaged.Read(out.data(), out.size()), EDecompressionError, "ZLib decompress error");
  // ...but in a zip entry the bytes after the deflate data are not a trailer.
  TZipInflateStream entry(nullptr, 0, Bytes(zlib_data), zlib_data.size(), true);
  EXPECT_EQ(entry.Read(out.data(), out.size()), text.size());
}

TEST(ZipInflateStream, DamageAndShortInput) {
  const std::uint8_t header[2] = {0x78, 0x9C};
  const std::string bad = "\x07garbage";
  TZipInflateStream s(header, 2, Bytes(bad), bad.size(), true);
  char out[16];
  EXPECT_ZIP_ERROR(s.Read(out, sizeof out), EDecompressionError, "ZLib decompress error");

  const std::uint8_t bad_header[2] = {0x78, 0x00};  // check bits wrong
  const std::string good = test::RawDeflate("abc");
  TZipInflateStream h(bad_header, 2, Bytes(good), good.size(), true);
  EXPECT_THROW(h.Read(out, sizeof out), EZlibError);

  TZipInflateStream empty(header, 2, nullptr, 0, true);
  EXPECT_EQ(empty.Read(out, sizeof out), 0u) << "the source ran dry: what was produced, nothing";
}

}  // namespace
}  // namespace gridport
