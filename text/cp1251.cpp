#include "text/cp1251.h"

#include <array>
#include <cstring>

namespace gridport {
namespace {

// UTF-16 of the bytes 0x80-0xFF (0x00-0x7F are ASCII).
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// Look-alikes for accented Latin-1 letters the code page lacks: the letter
// without its accent, as a reader of the file would rather see than "?".
struct TBestFit {
  char16_t wide;
  char narrow;
};
constexpr TBestFit kBestFit[] = {
    {0x00C0, 'A'}, {0x00C1, 'A'}, {0x00C2, 'A'}, {0x00C3, 'A'}, {0x00C4, 'A'}, {0x00C5, 'A'},
    {0x00C7, 'C'}, {0x00C8, 'E'}, {0x00C9, 'E'}, {0x00CA, 'E'}, {0x00CB, 'E'}, {0x00CC, 'I'},
    {0x00CD, 'I'}, {0x00CE, 'I'}, {0x00CF, 'I'}, {0x00D1, 'N'}, {0x00D2, 'O'}, {0x00D3, 'O'},
    {0x00D4, 'O'}, {0x00D5, 'O'}, {0x00D6, 'O'}, {0x00D9, 'U'}, {0x00DA, 'U'}, {0x00DB, 'U'},
    {0x00DC, 'U'}, {0x00DD, 'Y'}, {0x00E0, 'a'}, {0x00E1, 'a'}, {0x00E2, 'a'}, {0x00E3, 'a'},
    {0x00E4, 'a'}, {0x00E5, 'a'}, {0x00E7, 'c'}, {0x00E8, 'e'}, {0x00E9, 'e'}, {0x00EA, 'e'},
    {0x00EB, 'e'}, {0x00EC, 'i'}, {0x00ED, 'i'}, {0x00EE, 'i'}, {0x00EF, 'i'}, {0x00F1, 'n'},
    {0x00F2, 'o'}, {0x00F3, 'o'}, {0x00F4, 'o'}, {0x00F5, 'o'}, {0x00F6, 'o'}, {0x00F9, 'u'},
    {0x00FA, 'u'}, {0x00FB, 'u'}, {0x00FC, 'u'}, {0x00FD, 'y'}, {0x00FF, 'y'},
};

// UTF-16 -> byte in two levels: the high byte of the unit picks a page (page
// 0 is all zero), the low byte an entry; 0 means "not in the code page"
// (U+0000 itself is handled by the ASCII path before any lookup).
struct TReverseTable {
  std::array<std::uint8_t, 256> page_of{};
  std::array<std::array<std::uint8_t, 256>, 5> pages{};
};

constexpr TReverseTable MakeReverseTable() {
  TReverseTable table;
  int used = 1;
  auto put = [&](char16_t wide, std::uint8_t narrow) {
    int high = wide >> 8;
    if (table.page_of[high] == 0) table.page_of[high] = static_cast<std::uint8_t>(used++);
    table.pages[table.page_of[high]][wide & 0xFF] = narrow;
  };
  for (int c = 1; c < 0x80; ++c) put(static_cast<char16_t>(c), static_cast<std::uint8_t>(c));
  for (const TBestFit& fit : kBestFit) put(fit.wide, static_cast<std::uint8_t>(fit.narrow));
  // Exact entries last, so none of them is shadowed by a look-alike.
  for (int i = 0; i < 128; ++i) put(kHighHalf[i], static_cast<std::uint8_t>(0x80 + i));
  return table;
}

constexpr TReverseTable kReverse = MakeReverseTable();

inline std::uint8_t LookUp(char16_t c) { return kReverse.pages[kReverse.page_of[c >> 8]][c & 0xFF]; }

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// True when the four units at p are all ASCII.
inline bool FourAscii(const char16_t* p) {
  std::uint64_t block;
  std::memcpy(&block, p, sizeof block);
  return (block & 0xFF80FF80FF80FF80ull) == 0;
}

}  // namespace

char16_t Cp1251ToChar(std::uint8_t b) { return b < 0x80 ? b : kHighHalf[b - 0x80]; }

int CharToCp1251(char16_t c) {
  if (c < 0x80) return c;
  std::uint8_t narrow = LookUp(c);
  return narrow >= 0x80 && kHighHalf[narrow - 0x80] == c ? narrow : -1;
}

void AppendCp1251(std::string& out, std::u16string_view text) {
  // One byte per unit at most: size once, write through a pointer, trim.
  const std::size_t start = out.size();
  out.resize(start + text.size());
  char* dst = out.data() + start;
  const char16_t* src = text.data();
  const char16_t* end = src + text.size();
  while (src < end) {
    while (end - src >= 4 && FourAscii(src)) {
      dst[0] = static_cast<char>(src[0]);
      dst[1] = static_cast<char>(src[1]);
      dst[2] = static_cast<char>(src[2]);
      dst[3] = static_cast<char>(src[3]);
      src += 4;
      dst += 4;
    }
    if (src == end) break;
    char16_t c = *src++;
    if (c < 0x80) {
      *dst++ = static_cast<char>(c);
      continue;
    }
    // The Russian alphabet (without Ё/ё) is one contiguous block in both,
    // and its letters come in words: stay in this loop.
    if (c >= 0x0410 && c <= 0x044F) {
      for (;;) {
        *dst++ = static_cast<char>(c - 0x0350);
        if (src == end || *src < 0x0410 || *src > 0x044F) break;
        c = *src++;
      }
      continue;
    }
    std::uint8_t narrow = LookUp(c);
    if (narrow == 0) {
      narrow = '?';
      // A surrogate pair is one character: one "?" for both units.
      if (IsHighSurrogate(c) && src < end && IsLowSurrogate(*src)) ++src;
    }
    *dst++ = static_cast<char>(narrow);
  }
  out.resize(static_cast<std::size_t>(dst - out.data()));
}

void AppendUtf16FromCp1251(std::u16string& out, std::string_view text) {
  const std::size_t start = out.size();
  out.resize(start + text.size());
  char16_t* dst = out.data() + start;
  for (char ch : text) *dst++ = Cp1251ToChar(static_cast<std::uint8_t>(ch));
}

void AppendUtf8FromCp1251(std::string& out, std::string_view text) {
  // At most three bytes per character (the table's units are all below U+2200).
  const std::size_t start = out.size();
  out.resize(start + 3 * text.size());
  char* dst = out.data() + start;
  for (char ch : text) {
    std::uint8_t b = static_cast<std::uint8_t>(ch);
    if (b < 0x80) {
      *dst++ = ch;
      continue;
    }
    char16_t c = kHighHalf[b - 0x80];
    if (c < 0x800) {
      *dst++ = static_cast<char>(0xC0 | (c >> 6));
      *dst++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *dst++ = static_cast<char>(0xE0 | (c >> 12));
      *dst++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *dst++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(dst - out.data()));
}

std::string Utf16ToCp1251(std::u16string_view text) {
  std::string out;
  AppendCp1251(out, text);
  return out;
}

std::u16string Cp1251ToUtf16(std::string_view text) {
  std::u16string out;
  AppendUtf16FromCp1251(out, text);
  return out;
}

}  // namespace gridport
