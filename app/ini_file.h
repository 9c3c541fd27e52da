// Reading single values of an INI file, the way the automatic mode's settings
// file is read: section and key names match without case, blanks around a
// value are dropped, a value is read up to 2047 characters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gridport {

class TIniFile {
 public:
  // Reads the whole file (UTF-8, an initial byte-order mark is skipped).
  // Nothing when it cannot be read.
  static std::optional<TIniFile> Load(const std::string& path);
  explicit TIniFile(std::string text) : text_(std::move(text)) {}

  // The value of `key` in `section`: the first such key of the first such
  // section; empty text when missing.
  std::string ReadString(std::string_view section, std::string_view key) const;

 private:
  std::string text_;
};

}  // namespace gridport
