// Windows-1251, the 8-bit code page of the application's text, with our own
// table so the result never depends on the machine's locale.
//
// The Append* functions are the hot-path primitives of the CSV export: they
// append to a caller-owned buffer, allocate nothing beyond its growth, and
// copy runs of ASCII without a table lookup.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gridport {

// The code page number the application's 8-bit text uses.
inline constexpr int kCodePage1251 = 1251;

// UTF-16 of the byte b (every byte maps; 0x98, unassigned in Windows-1251,
// maps to U+0098 as the Windows conversion does, so bytes round-trip).
char16_t Cp1251ToChar(std::uint8_t b);

// The byte of a UTF-16 unit, or -1 when Windows-1251 cannot hold it.
int CharToCp1251(char16_t c);

// UTF-16 -> Windows-1251, appended to out. A character the code page cannot
// hold becomes "?" (one "?" per character: a surrogate pair gives one "?",
// a lone surrogate one "?").
void AppendCp1251(std::string& out, std::u16string_view text);

// Windows-1251 -> UTF-16, appended to out. Every byte maps to one unit.
void AppendUtf16FromCp1251(std::u16string& out, std::string_view text);

// Windows-1251 -> UTF-8, appended to out, for 8-bit texts written into a
// UTF-8 file.
void AppendUtf8FromCp1251(std::string& out, std::string_view text);

// Convenience forms returning a new string.
std::string Utf16ToCp1251(std::u16string_view text);
std::u16string Cp1251ToUtf16(std::string_view text);

}  // namespace gridport
