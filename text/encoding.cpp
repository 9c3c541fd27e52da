#include "text/encoding.h"

#include <atomic>
#include <climits>
#include <cstring>

#include "text/cp1251.h"
#include "text/shared_instance.h"
#include "text/utf7.h"
#include "text/utf8.h"

namespace gridport {
namespace {

// A count result that must fit the 32-bit counts of the interface.
int CheckedCount(long long result, int given) {
  if (given < 0 || result > INT_MAX) throw EEncodingError::WithValue("Invalid count (%d)", given);
  return static_cast<int>(result);
}

std::u16string Widen(const char* chars, int charCount) {
  if (chars == nullptr || charCount <= 0) return {};
  return Cp1251ToUtf16(std::string_view(chars, static_cast<std::size_t>(charCount)));
}

std::span<const std::uint8_t> ByteSpan(const std::uint8_t* bytes, int byteCount) {
  if (bytes == nullptr || byteCount <= 0) return {};
  return {bytes, static_cast<std::size_t>(byteCount)};
}

// Copies result to the destination when it fits; returns the count written.
template <typename Char, typename Source>
int CopyIfFits(const Source& result, Char* destination, int room) {
  if (result.size() > static_cast<std::size_t>(room < 0 ? 0 : room)) return 0;
  if (!result.empty()) std::memcpy(destination, result.data(), result.size());
  return static_cast<int>(result.size());
}

// The 8-bit text of wide text.
std::string Narrow(const std::u16string& wide) { return Utf16ToCp1251(wide); }

// True when the platform knows the code page; sets its maximal character size.
bool CodePageInfo(int codePage, int& maxCharSize) {
  switch (codePage) {
    case kCodePageAnsi:
    case kCodePage1251:
      maxCharSize = 1;
      return true;
    case kCodePageUtf7:
      maxCharSize = 5;
      return true;
    case kCodePageUtf8:
      maxCharSize = 4;
      return true;
    default:
      return false;
  }
}

}  // namespace

// ---------------------------------------------------------------- TEncoding

bool TEncoding::HasPreamble(std::span<const std::uint8_t> buffer,
                            std::span<const std::uint8_t> signature) {
  return buffer.size() >= signature.size() &&
         std::equal(signature.begin(), signature.end(), buffer.begin());
}

int TEncoding::DetectEncoding(std::span<const std::uint8_t> buffer, const TEncoding*& encoding) {
  if (encoding != nullptr) {
    TBytes preamble = encoding->Preamble();
    return HasPreamble(buffer, preamble) ? static_cast<int>(preamble.size()) : 0;
  }
  for (const TEncoding* candidate : {Unicode(), BigEndianUnicode(), UTF8()}) {
    TBytes preamble = candidate->Preamble();
    if (HasPreamble(buffer, preamble)) {
      encoding = candidate;
      return static_cast<int>(preamble.size());
    }
  }
  encoding = Default();
  return 0;
}

TBytes TEncoding::EncodeString(std::string_view text) const {
  const int length = CheckedCount(static_cast<long long>(text.size()), 0);
  TBytes bytes(static_cast<std::size_t>(ByteCount(text.data(), length)));
  Encode(text, 1, length, bytes, 0);
  return bytes;
}

int TEncoding::Encode(std::string_view text, int charIndex, int charCount, TBytes& bytes,
                      int byteIndex) const {
  if (bytes.empty() && charCount != 0) throw EEncodingError("Invalid source array");
  if (charIndex < 1) throw EEncodingError::WithValue("Character index out of bounds (%d)", charIndex);
  if (charCount < 0 || charCount > static_cast<long long>(text.size()) - charIndex + 1)
    throw EEncodingError::WithValue("Invalid count (%d)", charCount);
  if (byteIndex < 0 || static_cast<std::size_t>(byteIndex) > bytes.size())
    throw EEncodingError::WithValue("Invalid destination index (%d)", byteIndex);
  const char* chars = text.data() + (charIndex - 1);
  const std::size_t room = bytes.size() - static_cast<std::size_t>(byteIndex);
  if (static_cast<std::size_t>(ByteCount(chars, charCount)) > room)
    throw EEncodingError("Invalid destination array");
  if (charCount == 0) return 0;
  return Encode(chars, charCount, bytes.data() + byteIndex,
                room > INT_MAX ? INT_MAX : static_cast<int>(room));
}

std::string TEncoding::DecodeBytes(std::span<const std::uint8_t> bytes, int index, int count) const {
  if (bytes.empty() && count != 0) throw EEncodingError("Invalid source array");
  if (index < 0) throw EEncodingError::WithValue("Start index out of bounds (%d)", index);
  if (count < 0 || count > static_cast<long long>(bytes.size()) - index)
    throw EEncodingError::WithValue("Invalid count (%d)", count);
  if (count == 0) return {};
  const std::uint8_t* start = bytes.data() + index;
  std::string text(static_cast<std::size_t>(CharCount(start, count)), '\0');
  text.resize(static_cast<std::size_t>(Decode(start, count, text.data(), static_cast<int>(text.size()))));
  return text;
}

TBytes TEncoding::EncodeWideString(std::u16string_view text) const {
  std::string encoded;
  AppendWide(encoded, text);
  return TBytes(encoded.begin(), encoded.end());
}

std::u16string TEncoding::DecodeWideBytes(std::span<const std::uint8_t> bytes) const {
  std::u16string text;
  DecodeWide(bytes, text);
  return text;
}

// ---------------------------------------------------------- shared instances

namespace {

std::atomic<const TEncoding*> g_default{nullptr};
std::atomic<const TEncoding*> g_unicode{nullptr};
std::atomic<const TEncoding*> g_big_endian_unicode{nullptr};
std::atomic<const TEncoding*> g_utf8{nullptr};

// Destroys the shared instances when the program ends.
struct TSharedInstancesReaper {
  ~TSharedInstancesReaper() {
    for (auto* slot : {&g_default, &g_unicode, &g_big_endian_unicode, &g_utf8})
      delete slot->exchange(nullptr);
  }
} g_reaper;

}  // namespace

const TEncoding* TEncoding::Default() { return PublishOnce<TEncoding, TMBCSEncoding>(g_default); }
const TEncoding* TEncoding::Unicode() { return PublishOnce<TEncoding, TUnicodeEncoding>(g_unicode); }
const TEncoding* TEncoding::BigEndianUnicode() {
  return PublishOnce<TEncoding, TBigEndianUnicodeEncoding>(g_big_endian_unicode);
}
const TEncoding* TEncoding::UTF8() { return PublishOnce<TEncoding, TUTF8Encoding>(g_utf8); }

// ------------------------------------------------------------ TMBCSEncoding

TMBCSEncoding::TMBCSEncoding() : TMBCSEncoding(kCodePageAnsi, 0, 0) {}

TMBCSEncoding::TMBCSEncoding(int codePage) : TMBCSEncoding(codePage, 0, 0) {}

TMBCSEncoding::TMBCSEncoding(int codePage, std::uint32_t toWideFlags, std::uint32_t fromWideFlags)
    : code_page_(codePage),
      effective_code_page_(codePage == kCodePageAnsi ? kCodePage1251 : codePage),
      to_wide_flags_(toWideFlags),
      from_wide_flags_(fromWideFlags) {
  if (!CodePageInfo(codePage, max_char_size_)) throw EEncodingError("Invalid code page");
  single_byte_ = max_char_size_ == 1;
}

int TMBCSEncoding::ByteCount(const char*, int charCount) const { return charCount < 0 ? 0 : charCount; }

int TMBCSEncoding::Encode(const char* chars, int charCount, std::uint8_t* bytes, int byteCount) const {
  if (charCount <= 0 || chars == nullptr) return 0;
  if (charCount > byteCount) return 0;
  std::memcpy(bytes, chars, static_cast<std::size_t>(charCount));
  return charCount;
}

int TMBCSEncoding::CharCount(const std::uint8_t*, int byteCount) const {
  return byteCount < 0 ? 0 : byteCount;
}

int TMBCSEncoding::Decode(const std::uint8_t* bytes, int byteCount, char* chars, int charCount) const {
  if (byteCount <= 0 || bytes == nullptr) return 0;
  if (byteCount > charCount) return 0;
  std::memcpy(chars, bytes, static_cast<std::size_t>(byteCount));
  return byteCount;
}

int TMBCSEncoding::MaxByteCount(int charCount) const {
  return CheckedCount((static_cast<long long>(charCount) + 1) * max_char_size_, charCount);
}

int TMBCSEncoding::MaxCharCount(int byteCount) const { return CheckedCount(byteCount, byteCount); }

TBytes TMBCSEncoding::Preamble() const { return {}; }

void TMBCSEncoding::AppendWide(std::string& out, std::u16string_view text) const {
  switch (effective_code_page_) {
    case kCodePageUtf8:
      AppendUtf8(out, text);
      break;
    case kCodePageUtf7:
      AppendUtf7(out, text);
      break;
    default:
      AppendCp1251(out, text);
      break;
  }
}

void TMBCSEncoding::DecodeWide(std::span<const std::uint8_t> bytes, std::u16string& out) const {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  switch (effective_code_page_) {
    case kCodePageUtf8:
      AppendUtf16FromUtf8(out, text);
      break;
    case kCodePageUtf7:
      AppendUtf16FromUtf7(out, text);
      break;
    default:
      AppendUtf16FromCp1251(out, text);
      break;
  }
}

// ------------------------------------------------------- TUTF7Encoding / 8

TUTF7Encoding::TUTF7Encoding() : TUTF7Encoding(kCodePageUtf7) {}

TUTF7Encoding::TUTF7Encoding(int codePage) : TMBCSEncoding(codePage) {}

int TUTF7Encoding::ByteCount(const char* chars, int charCount) const {
  std::string encoded;
  AppendWide(encoded, Widen(chars, charCount));
  return CheckedCount(static_cast<long long>(encoded.size()), charCount);
}

int TUTF7Encoding::Encode(const char* chars, int charCount, std::uint8_t* bytes, int byteCount) const {
  std::string encoded;
  AppendWide(encoded, Widen(chars, charCount));
  return CopyIfFits(encoded, bytes, byteCount);
}

int TUTF7Encoding::CharCount(const std::uint8_t* bytes, int byteCount) const {
  return static_cast<int>(Narrow(DecodeWideBytes(ByteSpan(bytes, byteCount))).size());
}

int TUTF7Encoding::Decode(const std::uint8_t* bytes, int byteCount, char* chars, int charCount) const {
  return CopyIfFits(Narrow(DecodeWideBytes(ByteSpan(bytes, byteCount))), chars, charCount);
}

int TUTF7Encoding::MaxByteCount(int charCount) const {
  return CheckedCount(3LL * charCount + 2, charCount);
}

int TUTF7Encoding::MaxCharCount(int byteCount) const { return CheckedCount(byteCount, byteCount); }

TUTF8Encoding::TUTF8Encoding() : TUTF7Encoding(kCodePageUtf8) {}

int TUTF8Encoding::MaxByteCount(int charCount) const {
  return CheckedCount(3LL * charCount + 3, charCount);
}

int TUTF8Encoding::MaxCharCount(int byteCount) const {
  return CheckedCount(static_cast<long long>(byteCount) + 1, byteCount);
}

TBytes TUTF8Encoding::Preamble() const { return {0xEF, 0xBB, 0xBF}; }

// --------------------------------------------------------- TUnicodeEncoding

TUnicodeEncoding::TUnicodeEncoding() {
  single_byte_ = false;
  max_char_size_ = 4;
}

int TUnicodeEncoding::ByteCount(const char*, int charCount) const {
  // Windows-1251 widens every character to one unit of two bytes.
  if (charCount <= 0) return 0;
  return CheckedCount(2LL * charCount, charCount);
}

int TUnicodeEncoding::Encode(const char* chars, int charCount, std::uint8_t* bytes,
                             int byteCount) const {
  std::string encoded;
  AppendWide(encoded, Widen(chars, charCount));
  return CopyIfFits(encoded, bytes, byteCount);
}

int TUnicodeEncoding::CharCount(const std::uint8_t* bytes, int byteCount) const {
  return static_cast<int>(Narrow(DecodeWideBytes(ByteSpan(bytes, byteCount))).size());
}

int TUnicodeEncoding::Decode(const std::uint8_t* bytes, int byteCount, char* chars,
                             int charCount) const {
  return CopyIfFits(Narrow(DecodeWideBytes(ByteSpan(bytes, byteCount))), chars, charCount);
}

int TUnicodeEncoding::MaxByteCount(int charCount) const {
  return CheckedCount(2LL * charCount + 2, charCount);
}

int TUnicodeEncoding::MaxCharCount(int byteCount) const {
  return CheckedCount(static_cast<long long>(byteCount) / 2 + byteCount % 2 + 1, byteCount);
}

TBytes TUnicodeEncoding::Preamble() const { return {0xFF, 0xFE}; }

void TUnicodeEncoding::AppendWide(std::string& out, std::u16string_view text) const {
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  char* dst = out.data() + start;
  const int high = BigEndian() ? 0 : 1;
  for (char16_t unit : text) {
    dst[high] = static_cast<char>(unit >> 8);
    dst[1 - high] = static_cast<char>(unit & 0xFF);
    dst += 2;
  }
}

void TUnicodeEncoding::DecodeWide(std::span<const std::uint8_t> bytes, std::u16string& out) const {
  // A trailing odd byte is not a unit and is dropped.
  const std::size_t units = bytes.size() / 2;
  const std::size_t start = out.size();
  out.resize(start + units);
  const int high = BigEndian() ? 0 : 1;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint8_t* pair = bytes.data() + 2 * i;
    out[start + i] = static_cast<char16_t>((pair[high] << 8) | pair[1 - high]);
  }
}

TBytes TBigEndianUnicodeEncoding::Preamble() const { return {0xFE, 0xFF}; }

}  // namespace gridport
