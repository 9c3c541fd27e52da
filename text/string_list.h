// A list of text lines that loads from and saves to files in a chosen
// encoding.
//
// Lines are wide text (UTF-16), so a list saved as UTF-8 or UTF-16 keeps
// every character; saved with Default (Windows-1251) a character outside the
// code page becomes "?".
#pragma once

#include <filesystem>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"

namespace gridport {

class TStringList {
 public:
  TStringList() = default;
  virtual ~TStringList() = default;

  int Count() const { return static_cast<int>(lines_.size()); }
  // Raises EListError "List index out of bounds (%d)" outside 0..Count-1.
  const std::u16string& Strings(int index) const;
  const std::vector<std::u16string>& Lines() const { return lines_; }
  void Add(std::u16string line) { lines_.push_back(std::move(line)); }
  void Clear() { lines_.clear(); }

  // Every line followed by CR LF.
  std::u16string Text() const;
  // Replaces the lines with those of text, split at CR LF, CR or LF; a
  // break at the very end does not start another line.
  void SetText(std::u16string_view text);

  // Loading: every byte from the stream's position to its end; a byte-order
  // mark picks the encoding when none is given (see
  // TEncoding::DetectEncoding) and is dropped; no mark means Default. A
  // given encoding decodes the whole rest, its own mark dropped if present.
  // Read failures raise EInOutError.
  virtual void LoadFile(const std::filesystem::path& name, const TEncoding* encoding);
  virtual void LoadStream(std::istream& stream, const TEncoding* encoding);
  // Saving: the encoding's preamble, then Text() encoded (no encoding means
  // Default). SaveFile creates the file or truncates an existing one. Write
  // failures raise EInOutError.
  virtual void SaveFile(const std::filesystem::path& name, const TEncoding* encoding) const;
  virtual void SaveStream(std::ostream& stream, const TEncoding* encoding) const;

  void LoadFile(const std::filesystem::path& name) { LoadFile(name, nullptr); }
  void LoadStream(std::istream& stream) { LoadStream(stream, nullptr); }
  void SaveFile(const std::filesystem::path& name) const { SaveFile(name, nullptr); }
  void SaveStream(std::ostream& stream) const { SaveStream(stream, nullptr); }

 private:
  std::vector<std::u16string> lines_;
};

}  // namespace gridport
