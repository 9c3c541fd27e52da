// The 8-bit text of the Windows code pages that BIFF2 to BIFF5 workbooks name
// in their CODEPAGE record, decoded to UTF-16 with our own tables (made by
// make_code_page_tables.py from Python's codecs), so the result never depends
// on the machine's locale. Decoding only: nothing is written in these pages.
//
// Single-byte pages: 437, 850, 874 and 1250 to 1258. A byte the page leaves
// unassigned keeps its value (U+0080-U+00FF), as the Windows conversion does.
// Double-byte pages: 932, 936, 949 and 950. A lead byte and the trail byte
// after it make one character. A pair the page does not assign, and a lead
// byte that ends the text, become U+FFFD; a byte that cannot follow the lead
// byte is left to be read on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gridport {

// The trail bytes first..last of a lead byte (first > last: not a lead byte)
// and where their units start in the page's pair table.
struct TLeadByte {
  std::uint8_t First;
  std::uint8_t Last;
  std::uint32_t Offset;
};

struct TCodePage {
  std::uint16_t Number;
  const char16_t* High;     // units of bytes 0x80-0xFF; 0 marks a lead byte
  const TLeadByte* Leads;   // per byte 0x80-0xFF; nullptr for a single-byte page
  const char16_t* Pairs;
};

// The table of a code page, or nullptr when there is none for that number.
const TCodePage* FindCodePage(std::uint16_t number);

// Decodes count bytes from p into out, replacing what it held. out grows
// only when its capacity is short: a reused string allocates nothing.
void DecodeCodePage(const TCodePage& page, const std::uint8_t* p, std::size_t count, std::u16string& out);

namespace code_page_tables {
extern const TCodePage kCodePages[16];
}

}  // namespace gridport
