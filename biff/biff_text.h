// Text fields of BIFF records, decoded into a caller's reusable UTF-16 string.
//
// Two encodings occur: BIFF8 text (a flags byte, then UTF-16LE characters when
// the flags byte is 1, else 8-bit characters, each byte the UTF-16 code unit of
// the same value) and the 8-bit text of BIFF2 to BIFF5 records, in the code
// page the file names.
// A text that claims more characters than its record holds is cut to the
// characters that are there: the record's length, not the count, bounds the read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gridport {

// Reads BIFF8 text of count characters from p (flags byte first) within
// available bytes into out. Returns the bytes consumed (flags byte included).
std::size_t DecodeBiff8Text(const std::uint8_t* p, std::size_t available, std::size_t count,
                            std::u16string& out);

// Reads count 8-bit characters from p within available bytes into out.
// Returns the bytes consumed.
std::size_t Decode8BitText(const std::uint8_t* p, std::size_t available, std::size_t count,
                           std::u16string& out);

// Reads count bytes of the platform's 8-bit code page (Windows-1251) into out.
void DecodeCodePageText(const std::uint8_t* p, std::size_t count, std::u16string& out);

// The 8-bit text of BIFF2 to BIFF5 records in the code page of the file's
// CODEPAGE record (text/code_pages.h; a page without a table, or none, reads
// as Windows-1252). count is in bytes, as those records count: a double-byte
// page gives fewer characters. Reads count bytes from p within available
// bytes; returns the bytes read.
std::size_t DecodeAnsiText(const std::uint8_t* p, std::size_t available, std::size_t count,
                           std::uint16_t codePage, std::u16string& out);

}  // namespace gridport
