// Numbers that must be the whole text, read through std::from_chars.
#pragma once

#include <charconv>
#include <string_view>

namespace gridport {

// The whole text as a number through std::from_chars (format: for floating-point types).
// One "+" may lead; a sign after it ("+-1") is no number. result is untouched when the text
// is none.
template <typename T, typename... Format>
bool WholeFromChars(std::string_view text, T& result, Format... format) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return false;
  }
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, format...);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  result = value;
  return true;
}

}  // namespace gridport
