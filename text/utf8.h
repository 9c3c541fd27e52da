// UTF-16 <-> UTF-8 over caller-owned buffers: the hot-path primitives of the
// UTF-8 CSV export and of the readers of UTF-8 texts. No allocation beyond
// the growth of the output buffer; runs of ASCII are copied without decoding.
#pragma once

#include <string>
#include <string_view>

namespace gridport {

// UTF-16 -> UTF-8, appended to out. A surrogate pair becomes one 4-byte
// sequence; a lone surrogate, which no UTF-8 text can hold, becomes U+FFFD
// (EF BF BD).
void AppendUtf8(std::string& out, std::u16string_view text);

// UTF-8 -> UTF-16, appended to out. Each ill-formed part (a stray
// continuation byte, a truncated or overlong sequence, an encoded surrogate,
// a value above U+10FFFF) becomes one U+FFFD, as the Unicode standard
// recommends ("maximal subpart" replacement).
void AppendUtf16FromUtf8(std::u16string& out, std::string_view text);

// Convenience forms returning a new string.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace gridport
