#include "text/encoding.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "text/shared_instance.h"

namespace gridport {
namespace {

TBytes Bytes(std::string_view text) { return TBytes(text.begin(), text.end()); }

std::string Message(const std::function<void()>& action) {
  try {
    action();
  } catch (const EEncodingError& error) {
    return error.what();
  }
  return "(no EEncodingError)";
}

struct Named {
  const char* name;
  std::function<std::unique_ptr<TEncoding>()> make;
};

const Named kEncodings[] = {
    {"Default", [] { return std::make_unique<TMBCSEncoding>(); }},
    {"UTF7", [] { return std::make_unique<TUTF7Encoding>(); }},
    {"UTF8", [] { return std::make_unique<TUTF8Encoding>(); }},
    {"Unicode", [] { return std::make_unique<TUnicodeEncoding>(); }},
    {"BigEndianUnicode", [] { return std::make_unique<TBigEndianUnicodeEncoding>(); }},
};

TEST(Encoding, PropertiesAndPreambles) {
  struct Case {
    const char* name;
    std::string preamble;
    bool single_byte;
    int max_char_size;
    int max_bytes_of_10, max_chars_of_10, max_chars_of_11;
  };
  const Case cases[] = {
      {"Default", "", true, 1, 11, 10, 11},
      {"UTF7", "", false, 5, 32, 10, 11},
      {"UTF8", "\xEF\xBB\xBF", false, 4, 33, 11, 12},
      {"Unicode", "\xFF\xFE", false, 4, 22, 6, 7},
      {"BigEndianUnicode", "\xFE\xFF", false, 4, 22, 6, 7},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    std::unique_ptr<TEncoding> encoding = kEncodings[i].make();
    EXPECT_EQ(encoding->Preamble(), Bytes(c.preamble));
    EXPECT_EQ(encoding->IsSingleByte(), c.single_byte);
    EXPECT_EQ(encoding->MaxCharSize(), c.max_char_size);
    EXPECT_EQ(encoding->MaxByteCount(10), c.max_bytes_of_10);
    EXPECT_EQ(encoding->MaxCharCount(10), c.max_chars_of_10);
    EXPECT_EQ(encoding->MaxCharCount(11), c.max_chars_of_11);
  }
  EXPECT_EQ(TEncoding::UTF8()->Preamble(), Bytes("\xEF\xBB\xBF"));
  EXPECT_EQ(TEncoding::Unicode()->Preamble(), Bytes("\xFF\xFE"));
  EXPECT_EQ(TEncoding::BigEndianUnicode()->Preamble(), Bytes("\xFE\xFF"));
  EXPECT_TRUE(TEncoding::Default()->Preamble().empty());
}

TEST(Encoding, CodePages) {
  EXPECT_EQ(TMBCSEncoding().CodePage(), 0);
  EXPECT_EQ(TMBCSEncoding(1251).MaxCharSize(), 1);
  EXPECT_EQ(TUTF7Encoding().CodePage(), 65000);
  EXPECT_EQ(TUTF8Encoding().CodePage(), 65001);
  TMBCSEncoding flagged(65001, 8, 0x400);
  EXPECT_EQ(flagged.ToWideFlags(), 8u);
  EXPECT_EQ(flagged.FromWideFlags(), 0x400u);
  for (int unknown : {1, 866, 1200, 1201, 12345, -1}) {
    SCOPED_TRACE(unknown);
    EXPECT_EQ(Message([&] { TMBCSEncoding encoding(unknown); }), "Invalid code page");
  }
}

// 8-bit application text "Aя+\x98" (Windows-1251) in every encoding and back.
TEST(Encoding, EightBitTextRoundTrips) {
  const std::string text = "A\xFF+\x98";
  const char* expected[] = {
      "A\xFF+\x98",
      "A+BE8AKwCY-",
      "A\xD1\x8F+\xC2\x98",
      std::string_view("A\0\x4F\x04+\0\x98\0", 8).data(),
      std::string_view("\0A\x04\x4F\0+\0\x98", 8).data(),
  };
  const std::size_t sizes[] = {4, 11, 6, 8, 8};
  for (std::size_t i = 0; i < std::size(kEncodings); ++i) {
    SCOPED_TRACE(kEncodings[i].name);
    std::unique_ptr<TEncoding> encoding = kEncodings[i].make();
    const TBytes bytes = encoding->EncodeString(text);
    EXPECT_EQ(bytes, TBytes(expected[i], expected[i] + sizes[i]));
    EXPECT_EQ(encoding->ByteCount(text.data(), 4), static_cast<int>(sizes[i]));
    EXPECT_LE(encoding->ByteCount(text.data(), 4), encoding->MaxByteCount(4));
    EXPECT_EQ(encoding->CharCount(bytes.data(), static_cast<int>(bytes.size())), 4);
    EXPECT_EQ(encoding->DecodeBytes(bytes, 0, static_cast<int>(bytes.size())), text);
  }
}

TEST(Encoding, CodePageEncodingPassesEightBitBytesThrough) {
  // The counted operations of a code-page encoding copy the application's
  // bytes whatever its code page; only its subclasses convert.
  TMBCSEncoding utf8_code_page(65001);
  EXPECT_EQ(utf8_code_page.EncodeString("\xFF"), Bytes("\xFF"));
  EXPECT_EQ(utf8_code_page.EncodeWideString(u"\u044F"), Bytes("\xD1\x8F"));
}

TEST(Encoding, CountedOperationsWriteNothingWhenTheResultDoesNotFit) {
  std::uint8_t bytes[4] = {1, 1, 1, 1};
  char chars[2] = {1, 1};
  for (std::size_t i = 0; i < std::size(kEncodings); ++i) {
    SCOPED_TRACE(kEncodings[i].name);
    std::unique_ptr<TEncoding> encoding = kEncodings[i].make();
    EXPECT_EQ(encoding->Encode("\xFF\xFF\xFF", 3, bytes, 2), 0);
    EXPECT_EQ(bytes[0], 1);
    const TBytes long_text = encoding->EncodeString("abc");
    EXPECT_EQ(encoding->Decode(long_text.data(), static_cast<int>(long_text.size()), chars, 2), 0);
    EXPECT_EQ(chars[0], 1);
  }
}

TEST(Encoding, UnicodeDropsATrailingOddByte) {
  const TBytes bytes = Bytes(std::string_view("a\0b", 3));
  EXPECT_EQ(TEncoding::Unicode()->DecodeBytes(bytes, 0, 3), "a");
  EXPECT_EQ(TEncoding::BigEndianUnicode()->DecodeWideBytes(Bytes(std::string_view("\0a\x04", 3))), u"a");
}

TEST(Encoding, WideTextKeepsEveryCharacterExceptInWindows1251) {
  const std::u16string text = u"\u042F \u4E2D\U0001F600";
  struct Case {
    const TEncoding* encoding;
    std::string bytes;
    std::u16string back;
  };
  const Case cases[] = {
      {TEncoding::Default(), "\xDF ??", u"\u042F ??"},
      {TEncoding::UTF8(), "\xD0\xAF \xE4\xB8\xAD\xF0\x9F\x98\x80", text},
      {TEncoding::Unicode(), std::string("\x2F\x04 \0\x2D\x4E\x3D\xD8\x00\xDE", 10), text},
      {TEncoding::BigEndianUnicode(), std::string("\x04\x2F\0 \x4E\x2D\xD8\x3D\xDE\x00", 10), text},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const TBytes bytes = c.encoding->EncodeWideString(text);
    EXPECT_EQ(bytes, Bytes(c.bytes));
    EXPECT_EQ(c.encoding->DecodeWideBytes(bytes), c.back);
  }
}

TEST(Encoding, EncodeRangeErrors) {
  const TEncoding* utf8 = TEncoding::UTF8();
  struct Case {
    const char* name;
    std::string text;
    int char_index, char_count;
    std::size_t byte_size;
    int byte_index;
    std::string message;
  };
  const Case cases[] = {
      {"no bytes for a count", "abc", 1, 1, 0, 0, "Invalid source array"},
      {"index 0", "abc", 0, 1, 8, 0, "Character index out of bounds (0)"},
      {"negative index", "abc", -5, 1, 8, 0, "Character index out of bounds (-5)"},
      {"negative count", "abc", 1, -1, 8, 0, "Invalid count (-1)"},
      {"count past the end", "abc", 2, 3, 8, 0, "Invalid count (3)"},
      {"index past the end", "abc", 5, 1, 8, 0, "Invalid count (1)"},
      {"negative destination", "abc", 1, 3, 8, -1, "Invalid destination index (-1)"},
      {"destination past the end", "abc", 1, 3, 8, 9, "Invalid destination index (9)"},
      {"no room", "abc", 1, 3, 8, 6, "Invalid destination array"},
      {"no room for Cyrillic", "\xFF\xFF", 1, 2, 3, 0, "Invalid destination array"},
      {"index order: source before index", "", 0, 1, 0, 0, "Invalid source array"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBytes bytes(c.byte_size);
    EXPECT_EQ(Message([&] { utf8->Encode(c.text, c.char_index, c.char_count, bytes, c.byte_index); }),
              c.message);
  }
  TBytes bytes(5, 0);
  EXPECT_EQ(utf8->Encode("xyz", 2, 2, bytes, 3), 2);
  EXPECT_EQ(bytes, Bytes(std::string_view("\0\0\0yz", 5)));
  EXPECT_EQ(utf8->Encode("xyz", 4, 0, bytes, 5), 0) << "an empty range at the very end is valid";
}

TEST(Encoding, DecodeRangeErrors) {
  const TEncoding* utf8 = TEncoding::UTF8();
  const TBytes abc = Bytes("abc");
  struct Case {
    const char* name;
    TBytes bytes;
    int index, count;
    std::string message;
  };
  const Case cases[] = {
      {"empty array with a count", {}, 0, 1, "Invalid source array"},
      {"negative index", abc, -1, 1, "Start index out of bounds (-1)"},
      {"negative count", abc, 0, -2, "Invalid count (-2)"},
      {"count past the end", abc, 1, 3, "Invalid count (3)"},
      {"index past the end", abc, 4, 0, "Invalid count (0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Message([&] { utf8->DecodeBytes(c.bytes, c.index, c.count); }), c.message);
  }
  EXPECT_EQ(utf8->DecodeBytes(abc, 1, 2), "bc");
  EXPECT_EQ(utf8->DecodeBytes({}, 0, 0), "");
}

TEST(Encoding, DetectEncoding) {
  struct Case {
    const char* name;
    std::string buffer;
    const TEncoding* given;
    const TEncoding* found;
    int length;
  };
  TUTF7Encoding utf7;
  const Case cases[] = {
      {"UTF-8 mark", "\xEF\xBB\xBFx", nullptr, TEncoding::UTF8(), 3},
      {"little-endian mark", "\xFF\xFEx\0", nullptr, TEncoding::Unicode(), 2},
      {"big-endian mark", "\xFE\xFF\0x", nullptr, TEncoding::BigEndianUnicode(), 2},
      {"no mark", "abc", nullptr, TEncoding::Default(), 0},
      {"empty", "", nullptr, TEncoding::Default(), 0},
      {"part of a mark", "\xEF\xBB", nullptr, TEncoding::Default(), 0},
      {"given, mark present", "\xEF\xBB\xBFx", TEncoding::UTF8(), TEncoding::UTF8(), 3},
      {"given, mark absent", "x", TEncoding::UTF8(), TEncoding::UTF8(), 0},
      {"given, other mark", "\xFF\xFEx", TEncoding::UTF8(), TEncoding::UTF8(), 0},
      {"given without a mark of its own", "\xFF\xFE", &utf7, &utf7, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TBytes buffer = Bytes(c.buffer);
    const TEncoding* encoding = c.given;
    EXPECT_EQ(TEncoding::DetectEncoding(buffer, encoding), c.length);
    EXPECT_EQ(encoding, c.found);
  }
  EXPECT_TRUE(TEncoding::HasPreamble(Bytes(""), Bytes("")));
  EXPECT_FALSE(TEncoding::HasPreamble(Bytes("\xEF"), Bytes("\xEF\xBB")));
}

TEST(Encoding, SharedInstancesAreOnePerKind) {
  EXPECT_EQ(TEncoding::UTF8(), TEncoding::UTF8());
  EXPECT_NE(dynamic_cast<const TUTF8Encoding*>(TEncoding::UTF8()), nullptr);
  EXPECT_NE(dynamic_cast<const TBigEndianUnicodeEncoding*>(TEncoding::BigEndianUnicode()), nullptr);
  const auto* ansi = dynamic_cast<const TMBCSEncoding*>(TEncoding::Default());
  ASSERT_NE(ansi, nullptr);
  EXPECT_EQ(ansi->CodePage(), 0);

  const TEncoding* seen[2] = {};
  std::thread first([&] { seen[0] = TEncoding::UTF8(); });
  std::thread second([&] { seen[1] = TEncoding::UTF8(); });
  first.join();
  second.join();
  EXPECT_EQ(seen[0], seen[1]);
}

// The publication itself, on fresh slots so the race really happens.
struct TCounted {
  static std::atomic<int> alive;
  TCounted() { ++alive; }
  ~TCounted() { --alive; }
};
std::atomic<int> TCounted::alive{0};

TEST(Encoding, RacingCreatorsPublishOneInstanceAndDestroyTheRest) {
  constexpr int kThreads = 8;
  for (int round = 0; round < 50; ++round) {
    std::atomic<const TCounted*> slot{nullptr};
    std::vector<const TCounted*> results(kThreads);
    std::barrier start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        start.arrive_and_wait();
        results[t] = PublishOnce<TCounted, TCounted>(slot);
      });
    }
    for (auto& thread : threads) thread.join();
    for (const TCounted* result : results) EXPECT_EQ(result, slot.load());
    EXPECT_EQ(TCounted::alive.load(), 1);
    delete slot.load();
  }
  EXPECT_EQ(TCounted::alive.load(), 0);
}

}  // namespace
}  // namespace gridport
