// Decodes arbitrary bytes with every encoding and checks the round trips
// that must hold whatever the input: Windows-1251 and UTF-16 give the bytes
// back, UTF-8 and UTF-7 give the decoded text back; the 8-bit counts stay
// within their bounds; a string list loads any file.
#include <cstdint>
#include <sstream>
#include <string>

#include "text/cp1251.h"
#include "text/encoding.h"
#include "text/string_list.h"
#include "text/utf7.h"
#include "text/utf8.h"

using namespace gridport;

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::span<const std::uint8_t> bytes(data, size);

  Check(Utf16ToCp1251(Cp1251ToUtf16(text)) == text);

  const std::u16string from_utf8 = Utf8ToUtf16(text);
  Check(from_utf8.size() <= size);
  Check(Utf8ToUtf16(Utf16ToUtf8(from_utf8)) == from_utf8);

  std::u16string from_utf7;
  AppendUtf16FromUtf7(from_utf7, text);
  std::string utf7;
  AppendUtf7(utf7, from_utf7);
  std::u16string again;
  AppendUtf16FromUtf7(again, utf7);
  Check(again == from_utf7);

  for (const TEncoding* encoding : {TEncoding::Unicode(), TEncoding::BigEndianUnicode()}) {
    const TBytes back = encoding->EncodeWideString(encoding->DecodeWideBytes(bytes));
    Check(back.size() == size / 2 * 2 && std::equal(back.begin(), back.end(), data));
  }

  if (size <= 1 << 20) {
    TUTF7Encoding utf7_encoding;
    const int count = static_cast<int>(size);
    for (const TEncoding* encoding : {TEncoding::Default(), TEncoding::UTF8(), TEncoding::Unicode(),
                                      TEncoding::BigEndianUnicode(),
                                      static_cast<const TEncoding*>(&utf7_encoding)}) {
      const std::string decoded = encoding->DecodeBytes(bytes, 0, count);
      Check(static_cast<int>(decoded.size()) <= encoding->MaxCharCount(count));
      Check(static_cast<int>(encoding->EncodeString(decoded).size()) <=
            encoding->MaxByteCount(static_cast<int>(decoded.size())));
    }
  }

  std::istringstream stream{std::string(text)};
  TStringList list;
  list.LoadStream(stream);
  return 0;
}
