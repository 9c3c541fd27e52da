// UTF-16 <-> UTF-7 (RFC 2152) over caller-owned buffers.
#pragma once

#include <string>
#include <string_view>

namespace gridport {

// UTF-16 -> UTF-7, appended to out. Letters, digits, ' ( ) , - . / : ?,
// space, tab, CR, LF and NUL are written directly; "+" becomes "+-"; every
// other unit, surrogates included, goes into a modified-base64 run that is
// closed by "-" when the next byte would otherwise be read as part of it
// and at the end of the text.
void AppendUtf7(std::string& out, std::u16string_view text);

// UTF-7 -> UTF-16, appended to out. A base64 run ends at the first byte
// outside the base64 alphabet (a "-" ending it is dropped) and its leftover
// bits are discarded; a byte of 0x80 or above, which UTF-7 never holds,
// becomes U+FFFD.
void AppendUtf16FromUtf7(std::u16string& out, std::string_view text);

}  // namespace gridport
