#include "text/utf8.h"

#include <cstdint>
#include <cstring>

namespace gridport {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

inline bool FourAscii(const char16_t* p) {
  std::uint64_t block;
  std::memcpy(&block, p, sizeof block);
  return (block & 0xFF80FF80FF80FF80ull) == 0;
}

inline bool EightAsciiBytes(const char* p) {
  std::uint64_t block;
  std::memcpy(&block, p, sizeof block);
  return (block & 0x8080808080808080ull) == 0;
}

inline char* PutThree(char* dst, std::uint32_t c) {
  dst[0] = static_cast<char>(0xE0 | (c >> 12));
  dst[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  dst[2] = static_cast<char>(0x80 | (c & 0x3F));
  return dst + 3;
}

}  // namespace

void AppendUtf8(std::string& out, std::u16string_view text) {
  // Three bytes per unit at most (a pair of units gives four): size for the
  // worst case once, write through a pointer, trim to what was written.
  const std::size_t start = out.size();
  out.resize(start + 3 * text.size());
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
    std::uint32_t c = *src++;
    if (c < 0x80) {
      *dst++ = static_cast<char>(c);
    } else if (c < 0x800) {
      // Cyrillic and other two-byte letters come in words: stay in this loop.
      for (;;) {
        dst[0] = static_cast<char>(0xC0 | (c >> 6));
        dst[1] = static_cast<char>(0x80 | (c & 0x3F));
        dst += 2;
        if (src == end || *src < 0x80 || *src >= 0x800) break;
        c = *src++;
      }
    } else if (c < 0xD800 || c > 0xDFFF) {
      dst = PutThree(dst, c);
    } else if (c <= 0xDBFF && src < end && *src >= 0xDC00 && *src <= 0xDFFF) {
      std::uint32_t code = 0x10000 + ((c - 0xD800) << 10) + (*src++ - 0xDC00);
      dst[0] = static_cast<char>(0xF0 | (code >> 18));
      dst[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      dst[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      dst[3] = static_cast<char>(0x80 | (code & 0x3F));
      dst += 4;
    } else {
      dst = PutThree(dst, kReplacement);
    }
  }
  out.resize(static_cast<std::size_t>(dst - out.data()));
}

void AppendUtf16FromUtf8(std::u16string& out, std::string_view text) {
  // Never more units than bytes.
  const std::size_t start = out.size();
  out.resize(start + text.size());
  char16_t* dst = out.data() + start;
  const char* src = text.data();
  const char* end = src + text.size();
  while (src < end) {
    while (end - src >= 8 && EightAsciiBytes(src)) {
      for (int i = 0; i < 8; ++i) dst[i] = static_cast<char16_t>(src[i]);
      src += 8;
      dst += 8;
    }
    if (src == end) break;
    std::uint32_t lead = static_cast<std::uint8_t>(*src++);
    if (lead < 0x80) {
      *dst++ = static_cast<char16_t>(lead);
      continue;
    }
    // Length of the sequence and the valid range of its second byte
    // (which excludes overlong forms, surrogates and values past U+10FFFF).
    int tail;
    std::uint32_t low = 0x80, high = 0xBF, code;
    if (lead >= 0xC2 && lead <= 0xDF) {
      tail = 1;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      tail = 2;
      code = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      tail = 3;
      code = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      *dst++ = kReplacement;
      continue;
    }
    bool complete = true;
    for (int i = 0; i < tail; ++i) {
      std::uint32_t next = src < end ? static_cast<std::uint8_t>(*src) : 0;
      if (src == end || next < low || next > high) {
        complete = false;  // the bytes so far are one ill-formed part
        break;
      }
      code = (code << 6) | (next & 0x3F);
      ++src;
      low = 0x80;
      high = 0xBF;
    }
    if (!complete) {
      *dst++ = kReplacement;
    } else if (code < 0x10000) {
      *dst++ = static_cast<char16_t>(code);
    } else {
      code -= 0x10000;
      *dst++ = static_cast<char16_t>(0xD800 + (code >> 10));
      *dst++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
  }
  out.resize(static_cast<std::size_t>(dst - out.data()));
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf8(out, text);
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  AppendUtf16FromUtf8(out, text);
  return out;
}

}  // namespace gridport
