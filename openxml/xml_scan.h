// Byte classes and the short search shared by the tokenizer's scans of a tag.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gridport {

// Byte classes of the fast scan of a well-formed tag: name bytes, XML white space, ">", "/",
// and everything that sends the tag to the general scan (quotes, "=", control bytes).
enum : unsigned char { kcName = 0, kcSpace = 1, kcGt = 2, kcSlash = 3, kcOther = 4 };
inline constexpr std::array<unsigned char, 256> kXMLByteClass = [] {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i <= 32; ++i) t[static_cast<std::size_t>(i)] = kcOther;
  t[' '] = t['\t'] = t['\r'] = t['\n'] = kcSpace;
  t['>'] = kcGt;
  t['/'] = kcSlash;
  t['"'] = t['='] = kcOther;
  return t;
}();

inline unsigned char XMLByteClass(char c) { return kXMLByteClass[static_cast<unsigned char>(c)]; }

#if defined(__SSE2__)
// 16 bytes at p (the caller has checked that they exist) as a bit mask of the positions that
// end a name: white space and control bytes, ">", "/", double quote and "=".
inline unsigned XMLNameStops16(const char* p) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i space = _mm_set1_epi8(32);
  const __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(x, space), space);  // bytes 0-32
  const __m128i marks = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('>')), _mm_cmpeq_epi8(x, _mm_set1_epi8('/'))),
      _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('"')), _mm_cmpeq_epi8(x, _mm_set1_epi8('='))));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, marks)));
}
#endif

// The end of the name that starts at p: the first byte in [p, end) outside the name class.
// Names are short, so one look at 16 bytes usually finds it without a loop over bytes.
inline const char* ScanXMLName(const char* p, const char* end) {
#if defined(__SSE2__)
  while (end - p >= 16) {
    const unsigned stops = XMLNameStops16(p);
    if (stops != 0) return p + __builtin_ctz(stops);
    p += 16;
  }
#endif
  while (p < end && XMLByteClass(*p) == kcName) ++p;
  return p;
}

// ScanXMLName with a first look for names of one letter (c, v, r, s, t), the most frequent
// element and attribute names of a sheet.
inline const char* ScanXMLShortName(const char* p, const char* end) {
  if (end - p >= 2 && XMLByteClass(p[0]) == kcName && XMLByteClass(p[1]) != kcName) return p + 1;
  return ScanXMLName(p, end);
}

// The first c in [from, end), or nullptr. Values and cell texts are mostly a few bytes long:
// the first 16 bytes are looked at together before memchr takes over.
inline const char* FindXMLByte(const char* from, const char* end, char c) {
#if defined(__SSE2__)
  if (end - from >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(c))));
    if (hits != 0) return from + __builtin_ctz(hits);
    return static_cast<const char*>(std::memchr(from + 16, c, static_cast<std::size_t>(end - from - 16)));
  }
#endif
  for (; from < end; ++from)
    if (*from == c) return from;
  return nullptr;
}

}  // namespace gridport
