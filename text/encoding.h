// The text encodings: the application's text <-> the bytes of a file.
//
// Two kinds of text pass through an encoding:
// - 8-bit application text (std::string in Windows-1251), through the
//   counted operations ByteCount/Encode/CharCount/Decode and the range-checked
//   EncodeString/DecodeBytes. Code-page encodings pass these bytes through
//   unchanged; the Unicode encodings widen them with Windows-1251 first.
// - wide text (UTF-16, as the workbook model holds it), through
//   AppendWide/DecodeWide and EncodeWideString/DecodeWideBytes. These carry
//   the full Unicode text: a UTF-8 or UTF-16 file never loses a character
//   to Windows-1251.
//
// Encodings keep no state between calls; every operation is const and may
// run on any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding_error.h"

namespace gridport {

using TBytes = std::vector<std::uint8_t>;

class TEncoding {
 public:
  virtual ~TEncoding() = default;
  TEncoding(const TEncoding&) = delete;
  TEncoding& operator=(const TEncoding&) = delete;

  bool IsSingleByte() const { return single_byte_; }
  int MaxCharSize() const { return max_char_size_; }

  // Counted operations over 8-bit application text. Encode and Decode write
  // at most byteCount bytes / charCount characters; when the result does not
  // fit they write nothing and return 0.
  virtual int ByteCount(const char* chars, int charCount) const = 0;
  virtual int Encode(const char* chars, int charCount, std::uint8_t* bytes, int byteCount) const = 0;
  virtual int CharCount(const std::uint8_t* bytes, int byteCount) const = 0;
  virtual int Decode(const std::uint8_t* bytes, int byteCount, char* chars, int charCount) const = 0;
  virtual int MaxByteCount(int charCount) const = 0;
  virtual int MaxCharCount(int byteCount) const = 0;
  // The byte-order mark written before a file's text (may be empty).
  virtual TBytes Preamble() const = 0;

  // Wide text: appends the encoded bytes of text to out / the UTF-16 text
  // of bytes to out.
  virtual void AppendWide(std::string& out, std::u16string_view text) const = 0;
  virtual void DecodeWide(std::span<const std::uint8_t> bytes, std::u16string& out) const = 0;

  // True when buffer is at least as long as signature and begins with it
  // (an empty signature always matches).
  static bool HasPreamble(std::span<const std::uint8_t> buffer, std::span<const std::uint8_t> signature);

  // Returns the length of the byte-order mark at the start of buffer.
  // With an encoding given: its preamble's length when buffer begins with
  // it, else 0; the encoding stays. With none (nullptr): the first of
  // Unicode (FF FE), BigEndianUnicode (FE FF) and UTF8 (EF BB BF) whose mark
  // begins buffer is stored in encoding, else Default (mark length 0).
  static int DetectEncoding(std::span<const std::uint8_t> buffer, const TEncoding*& encoding);

  // The encoded bytes of the whole 8-bit text.
  TBytes EncodeString(std::string_view text) const;
  // Encodes charCount characters of text from the 1-based charIndex into
  // bytes from byteIndex on; returns the count written. Raises
  // EEncodingError on every range violation.
  int Encode(std::string_view text, int charIndex, int charCount, TBytes& bytes, int byteIndex) const;
  // The 8-bit text of count bytes from the 0-based index. Raises
  // EEncodingError on every range violation.
  std::string DecodeBytes(std::span<const std::uint8_t> bytes, int index, int count) const;

  // Wide forms of EncodeString/DecodeBytes over whole buffers.
  TBytes EncodeWideString(std::u16string_view text) const;
  std::u16string DecodeWideBytes(std::span<const std::uint8_t> bytes) const;

  // Shared instances, created on first request (race-free) and destroyed
  // when the program ends. Never delete them.
  static const TEncoding* Default();           // Windows-1251, code page 0
  static const TEncoding* Unicode();           // UTF-16 little-endian
  static const TEncoding* BigEndianUnicode();  // UTF-16 big-endian
  static const TEncoding* UTF8();

 protected:
  TEncoding() = default;

  bool single_byte_ = false;
  int max_char_size_ = 0;
};

// Windows code-page numbers the system knows.
inline constexpr int kCodePageAnsi = 0;  // the system's ANSI code page: Windows-1251
inline constexpr int kCodePageUtf7 = 65000;
inline constexpr int kCodePageUtf8 = 65001;

// A code-page encoding. The 8-bit application text already is code-page
// text, so its counted operations copy bytes unchanged; its wide operations
// convert with the code page. Known code pages: 0 (the ANSI code page,
// Windows-1251), 1251, 65000 (UTF-7), 65001 (UTF-8).
class TMBCSEncoding : public TEncoding {
 public:
  TMBCSEncoding();
  explicit TMBCSEncoding(int codePage);
  // Raises EEncodingError "Invalid code page" for a code page the system
  // does not know. The flags are kept for callers; the conversions here
  // have no optional behaviour for them to select.
  TMBCSEncoding(int codePage, std::uint32_t toWideFlags, std::uint32_t fromWideFlags);

  int CodePage() const { return code_page_; }
  std::uint32_t ToWideFlags() const { return to_wide_flags_; }
  std::uint32_t FromWideFlags() const { return from_wide_flags_; }

  int ByteCount(const char* chars, int charCount) const override;
  int Encode(const char* chars, int charCount, std::uint8_t* bytes, int byteCount) const override;
  int CharCount(const std::uint8_t* bytes, int byteCount) const override;
  int Decode(const std::uint8_t* bytes, int byteCount, char* chars, int charCount) const override;
  int MaxByteCount(int charCount) const override;
  int MaxCharCount(int byteCount) const override;
  TBytes Preamble() const override;

  void AppendWide(std::string& out, std::u16string_view text) const override;
  void DecodeWide(std::span<const std::uint8_t> bytes, std::u16string& out) const override;

  using TEncoding::Encode;

 private:
  int code_page_;
  int effective_code_page_;  // code_page_ with 0 resolved to 1251
  std::uint32_t to_wide_flags_;
  std::uint32_t from_wide_flags_;
};

// UTF-7: 8-bit text is widened with Windows-1251 and then encoded; bytes are
// decoded and then narrowed with Windows-1251.
class TUTF7Encoding : public TMBCSEncoding {
 public:
  TUTF7Encoding();

  int ByteCount(const char* chars, int charCount) const override;
  int Encode(const char* chars, int charCount, std::uint8_t* bytes, int byteCount) const override;
  int CharCount(const std::uint8_t* bytes, int byteCount) const override;
  int Decode(const std::uint8_t* bytes, int byteCount, char* chars, int charCount) const override;
  int MaxByteCount(int charCount) const override;
  int MaxCharCount(int byteCount) const override;

  using TEncoding::Encode;

 protected:
  explicit TUTF7Encoding(int codePage);
};

// UTF-8 with the preamble EF BB BF.
class TUTF8Encoding : public TUTF7Encoding {
 public:
  TUTF8Encoding();

  int MaxByteCount(int charCount) const override;
  int MaxCharCount(int byteCount) const override;
  TBytes Preamble() const override;
};

// UTF-16 little-endian with the preamble FF FE.
class TUnicodeEncoding : public TEncoding {
 public:
  TUnicodeEncoding();

  int ByteCount(const char* chars, int charCount) const override;
  int Encode(const char* chars, int charCount, std::uint8_t* bytes, int byteCount) const override;
  int CharCount(const std::uint8_t* bytes, int byteCount) const override;
  int Decode(const std::uint8_t* bytes, int byteCount, char* chars, int charCount) const override;
  int MaxByteCount(int charCount) const override;
  int MaxCharCount(int byteCount) const override;
  TBytes Preamble() const override;

  void AppendWide(std::string& out, std::u16string_view text) const override;
  void DecodeWide(std::span<const std::uint8_t> bytes, std::u16string& out) const override;

  using TEncoding::Encode;

 protected:
  virtual bool BigEndian() const { return false; }
};

// UTF-16 big-endian with the preamble FE FF.
class TBigEndianUnicodeEncoding : public TUnicodeEncoding {
 public:
  TBytes Preamble() const override;

 protected:
  bool BigEndian() const override { return true; }
};

}  // namespace gridport
