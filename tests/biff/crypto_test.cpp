#include <gtest/gtest.h>

#include <string>

#include "biff/md5.h"
#include "biff/rc4.h"

namespace gridport {
namespace {

std::string Hex(const std::uint8_t* data, std::size_t size) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

TEST(MD5, RfcTestSuite) {
  struct TCase {
    std::string Input, Digest;
  };
  const TCase cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const TCase& c : cases) {
    TMD5Digest digest = TMD5::Digest(c.Input.data(), c.Input.size());
    EXPECT_EQ(Hex(digest.data(), 16), c.Digest) << c.Input;
    // The same digest when fed in uneven pieces across the 64-byte blocks.
    TMD5 md5;
    for (std::size_t at = 0; at < c.Input.size(); at += 7)
      md5.Update(c.Input.data() + at, std::min<std::size_t>(7, c.Input.size() - at));
    TMD5Digest pieces = md5.Final();
    EXPECT_EQ(Hex(pieces.data(), 16), c.Digest) << c.Input;
  }
}

TEST(RC4, PublishedVectors) {
  struct TCase {
    std::string Key, Plain, Cipher;
  };
  const TCase cases[] = {
      {"Key", "Plaintext", "bbf316e8d940af0ad3"},
      {"Wiki", "pedia", "1021bf0420"},
      {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
  };
  for (const TCase& c : cases) {
    TRC4 rc4;
    rc4.SetKey(reinterpret_cast<const std::uint8_t*>(c.Key.data()), c.Key.size());
    std::string data = c.Plain;
    rc4.Process(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    EXPECT_EQ(Hex(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()), c.Cipher);
    // Skipping keystream bytes is the same as encrypting them.
    TRC4 skipping;
    skipping.SetKey(reinterpret_cast<const std::uint8_t*>(c.Key.data()), c.Key.size());
    skipping.Skip(3);
    std::string tail = c.Plain.substr(3);
    skipping.Process(reinterpret_cast<std::uint8_t*>(tail.data()), tail.size());
    EXPECT_EQ(tail, data.substr(3));
  }
}

}  // namespace
}  // namespace gridport
