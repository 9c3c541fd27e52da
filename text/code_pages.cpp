#include "text/code_pages.h"

#include <iterator>

namespace gridport {

const TCodePage* FindCodePage(std::uint16_t number) {
  for (const TCodePage& page : code_page_tables::kCodePages) {
    if (page.Number == number) return &page;
  }
  return nullptr;
}

void DecodeCodePage(const TCodePage& page, const std::uint8_t* p, std::size_t count, std::u16string& out) {
  out.resize(count);  // never more units than bytes
  std::size_t n = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = p[i];
    if (b < 0x80) {
      out[n++] = b;
      continue;
    }
    const char16_t unit = page.High[b - 0x80];
    if (unit != 0 || page.Leads == nullptr) {
      out[n++] = unit;
      continue;
    }
    const TLeadByte& lead = page.Leads[b - 0x80];
    if (i + 1 < count && p[i + 1] >= lead.First && p[i + 1] <= lead.Last) {
      out[n++] = page.Pairs[lead.Offset + (p[i + 1] - lead.First)];
      ++i;
    } else {
      out[n++] = u'\uFFFD';
    }
  }
  out.resize(n);
}

}  // namespace gridport
