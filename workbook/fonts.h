// The workbook's font table: TXFont (BIFF fonts), TXFontEx12 (Excel 2007
// fonts with a full colour description) and the owning list TXFonts with its
// hash index.
//
// Ownership: TXFonts owns its fonts. Cell formats name fonts by index (BIFF
// formats) or by pointer (Excel 2007 formats); rich-text runs of shared
// strings hold pointers. A pointer stays valid until the font is removed
// (RemoveAt, usage falling to zero above the first deletable index) or the
// table is cleared; users that hold pointers also hold a usage on the font.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/excel_version.h"
#include "workbook/crc_register.h"
#include "workbook/hash_index.h"
#include "workbook/style_color.h"

namespace gridport {

// Bits of TXFont::Style.
enum TXFontStyleBits : std::uint8_t { fsBold = 1, fsItalic = 2, fsStrikeOut = 4 };

class TXFont {
 public:
  TXFont() { Reset(); }
  virtual ~TXFont() = default;
  TXFont(const TXFont&) = delete;
  TXFont& operator=(const TXFont&) = delete;

  std::u16string Name;
  // The ten packed bytes, compared and hashed as one block in this order.
  std::uint8_t Charset = 0;
  std::uint8_t Family = 0;
  std::uint8_t ColorIndex = 0;  // palette index (style_color.h)
  std::uint32_t Height = 0;     // twentieths of a point
  std::uint8_t Style = 0;       // TXFontStyleBits
  std::uint8_t Script = 0;      // 0 normal, 1 superscript, 2 subscript
  std::uint8_t Underline = 0;   // 0 none, 1 single, 2 double, 3/4 accounting

  std::int32_t Index = -1;  // position in the owning table, kept up to date by it
  std::int32_t Usage = 0;   // held by per-object font changes and rich-text runs

  // CRC-32 register over the packed bytes and the name's UTF-16LE bytes
  // (Excel 2007 fonts add their colour and extra bytes). Computed on each
  // call: fonts are filled field by field after they are added, so a cached
  // value could go stale.
  virtual std::uint32_t Hash() const;
  // Packed bytes equal and names equal, letter case included. A BIFF font and
  // an Excel 2007 font are never equal.
  virtual bool Equals(const TXFont& other) const;
  // "Arial", charset 0, family 2, colour 8, 10 points, no style, normal
  // script, no underline.
  virtual void Reset();
  virtual std::uint32_t GetColorRGB() const;
  // Stores the palette index (8-63) nearest to rgb (0x00BBGGRR).
  virtual void SetColorRGB(std::uint32_t rgb);
  // Copies the name and the packed bytes.
  virtual void Assign(const TXFont& other);

  bool IsEx12() const { return is_ex12_; }
  std::array<std::uint8_t, 10> PackedBytes() const;

  // Size in points: height div 20 (height mod 20 into *remainder when given).
  int SizePoints(int* remainder = nullptr) const;
  void SetSizePoints(int points);

  // Decodes a FONT record body (0x0031, or 0x0231 of BIFF3 and BIFF4) in the
  // layout of the file's version: BIFF8 (name as a short Unicode string),
  // BIFF5 (8-bit name from offset 15), BIFF3/BIFF4 (height, options, colour,
  // name from offset 7) or BIFF2 (height, options, name from offset 5). Never
  // reads past `size`; a body too short for its fields fails with EXLSError.
  void LoadFromBiff(const std::uint8_t* body, std::size_t size, TExcelVersion version);

 protected:
  explicit TXFont(bool is_ex12) : is_ex12_(is_ex12) {}
  std::uint32_t BaseHash() const;
  bool BaseEquals(const TXFont& other) const;

 private:
  friend class TXFonts;
  friend struct TXFontIndexKey;
  bool is_ex12_ = false;
  // Hash index bookkeeping (TXFonts only): the hash the font is filed under.
  std::uint32_t indexed_hash_ = 0;
  bool in_index_ = false;
};

struct TXFontIndexKey {
  std::uint64_t operator()(const TXFont& font) const { return font.indexed_hash_; }
};

class TXFontEx12 : public TXFont {
 public:
  TXFontEx12() : TXFont(true) { Reset(); }

  TStyleColor Color;
  bool Condense = false;
  bool Extend = false;
  bool Outline = false;
  std::uint8_t Scheme = 0;  // 0 none, 1 minor, 2 major
  bool Shadow = false;

  std::uint32_t Hash() const override;
  bool Equals(const TXFont& other) const override;
  // A reset TXFont with colour kind "none" and the extra bytes zero.
  void Reset() override;
  std::uint32_t GetColorRGB() const override;  // the resolved colour
  void SetColorRGB(std::uint32_t rgb) override;
  // Copies as TXFont does, then takes the source's palette index as an
  // indexed colour.
  void Assign(const TXFont& other) override;
};

// Told when a font is removed, so that BIFF cell formats that name later
// fonts by index can lower those indices.
class TFontRemovalListener {
 public:
  virtual void FontRemoved(int index) = 0;

 protected:
  ~TFontRemovalListener() = default;
};

class TXFonts {
 public:
  // A new table holds five reset fonts; its first deletable index is 5.
  TXFonts();
  ~TXFonts();
  TXFonts(const TXFonts&) = delete;
  TXFonts& operator=(const TXFonts&) = delete;

  int Count() const { return static_cast<int>(fonts_.size()); }
  // The font at index; outside the table: "List index out of bounds (%d)".
  TXFont* Item(long long index) const;
  TXFont* operator[](long long index) const { return Item(index); }

  // Fonts below this index are never removed by usage counting.
  int FirstDeletable() const { return first_deletable_; }

  // Appends five reset fonts; the first deletable index becomes the count.
  void AddDefaultFonts();
  // Empties the table (first deletable index 0) and its hash index.
  void Clear();
  // After a read: everything read is permanent.
  void FinishLoad() { first_deletable_ = Count(); }

  // Append a reset font; its index is its position.
  TXFont* AddFont();
  TXFontEx12* AddFontEx12();

  // The first font whose name equals font's ignoring letter case and whose
  // packed bytes are equal; -1 when none. A linear scan.
  int Find(const TXFont& font) const;
  // The found font, or a new font of the same kind assigned from `font`.
  TXFont* FindOrAdd(const TXFont& font);
  // Deletes the font at index; later fonts move down one index.
  void RemoveAt(long long index);

  // One more usage of the font (a user started to refer to it).
  static void AddUsage(TXFont& font) { ++font.Usage; }
  // One usage fewer; a font at or above the first deletable index whose usage
  // falls below 1 is removed (the pointer is invalid afterwards). Fonts below
  // the first deletable index are not counted.
  void ReleaseUsage(TXFont& font);

  // The hash index: filled by RebuildIndex (the Open XML reader calls it once
  // its fonts are read); fonts added later are not in it until the next
  // rebuild. Removed fonts leave it at once.
  void RebuildIndex();
  // The indexed font equal (TXFont::Equals) to `font`, or nullptr.
  TXFont* LookUp(const TXFont& font) const;

  void AddRemovalListener(TFontRemovalListener* listener);
  void RemoveRemovalListener(TFontRemovalListener* listener);

 private:
  void Renumber(std::size_t from);

  std::vector<std::unique_ptr<TXFont>> fonts_;
  int first_deletable_ = 0;
  THashIndex<TXFont, TXFontIndexKey> index_;
  std::vector<TFontRemovalListener*> listeners_;
};

// Lower-cases one UTF-16 code unit (Latin, Greek and Cyrillic letters), the
// comparison TXFonts::Find uses for names.
char16_t LowerCaseUnit(char16_t c);

}  // namespace gridport
