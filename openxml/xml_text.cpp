#include "openxml/xml_text.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "text/whole_number.h"

namespace gridport {
namespace {

// HTML 4 names of the Latin-1 characters 161 to 255, in code order.
const std::string_view kLatin1Names[] = {
    "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",
    "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",
    "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",
    "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute",
    "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
    "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave",
    "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",    "ntilde",
    "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave", "uacute",
    "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
static_assert(sizeof kLatin1Names / sizeof kLatin1Names[0] == 95);

void AppendCodePoint(char32_t cp, std::u16string& out) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

int HexDigit(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The character of a reference or entity body (between "&" and ";"), or -1 when it is none.
long EntityValue(std::string_view body) {
  if (body.size() >= 2 && body[0] == '#') {
    bool hex = body[1] == 'x' || body[1] == 'X';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return -1;
    long value = 0;
    for (char c : digits) {
      int d = hex ? HexDigit(static_cast<char16_t>(c)) : (c >= '0' && c <= '9' ? c - '0' : -1);
      if (d < 0) return -1;
      value = value * (hex ? 16 : 10) + d;
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return -1;
    return value;
  }
  if (body == "quot") return 34;
  if (body == "amp") return 38;
  if (body == "lt") return 60;
  if (body == "gt") return 62;
  if (body == "apos") return 39;
  if (body == "nbsp") return 32;
  for (std::size_t i = 0; i < std::size(kLatin1Names); ++i)
    if (kLatin1Names[i] == body) return static_cast<long>(161 + i);
  return -1;
}

// Length of the longest entity body worth looking for ("&#x10FFFF;", "&frac14;").
constexpr std::size_t kMaxEntityBody = 10;

}  // namespace

void AppendDecodedXMLText(std::string_view raw, std::u16string& out) {
  const auto* s = reinterpret_cast<const unsigned char*>(raw.data());
  std::size_t n = raw.size();
  out.reserve(out.size() + n);
  std::size_t i = 0;
  while (i < n) {
    // A run of plain ASCII (no reference, no CR) is widened in one go.
    std::size_t run = i;
    while (run < n && s[run] < 0x80 && s[run] != '&' && s[run] != '\r') ++run;
    if (run != i) {
      const std::size_t at = out.size();
      out.resize(at + (run - i));
      char16_t* to = out.data() + at;
      for (std::size_t k = i; k < run; ++k) *to++ = s[k];
      i = run;
      if (i == n) break;
    }
    unsigned char c = s[i];
    if (c < 0x80) {
      if (c == '&') {
        std::size_t limit = std::min(n, i + 2 + kMaxEntityBody);
        const void* semi = std::memchr(s + i + 1, ';', limit - i - 1);
        if (semi != nullptr) {
          std::size_t end = static_cast<std::size_t>(static_cast<const unsigned char*>(semi) - s);
          long value = EntityValue(raw.substr(i + 1, end - i - 1));
          if (value >= 0) {
            AppendCodePoint(static_cast<char32_t>(value), out);
            i = end + 1;
            continue;
          }
        }
      }
      if (c == '\r') {
        // Line ends as XML reads them: CR LF and a lone CR become LF (a reference &#13; stays).
        out.push_back(u'\n');
        i += i + 1 < n && s[i + 1] == '\n' ? 2 : 1;
        continue;
      }
      out.push_back(c);
      ++i;
      continue;
    }
    // A UTF-8 sequence: lead byte, then continuation bytes; anything malformed gives U+FFFD.
    int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    char32_t cp = len == 4 ? c & 0x07 : len == 3 ? c & 0x0F : c & 0x1F;
    bool ok = len != 0 && i + static_cast<std::size_t>(len) <= n && c <= 0xF4;
    for (int k = 1; ok && k < len; ++k) {
      unsigned char cc = s[i + static_cast<std::size_t>(k)];
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (ok && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
               (cp >= 0xD800 && cp <= 0xDFFF)))
      ok = false;
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    AppendCodePoint(cp, out);
    i += static_cast<std::size_t>(len);
  }
}

std::u16string DecodeXMLText(std::string_view raw) {
  std::u16string out;
  AppendDecodedXMLText(raw, out);
  return out;
}

void DecodeEscapedUnderscores(std::u16string& text) {
  std::size_t w = 0;
  std::size_t n = text.size();
  for (std::size_t r = 0; r < n;) {
    if (text[r] == '_' && r + 6 < n && text[r + 1] == 'x' && text[r + 6] == '_') {
      int a = HexDigit(text[r + 2]), b = HexDigit(text[r + 3]);
      int c = HexDigit(text[r + 4]), d = HexDigit(text[r + 5]);
      if ((a | b | c | d) >= 0) {
        text[w++] = static_cast<char16_t>((a << 12) | (b << 8) | (c << 4) | d);
        r += 7;
        continue;
      }
    }
    text[w++] = text[r++];
  }
  text.resize(w);
}

bool ParseXMLInt(std::string_view text, std::int32_t& result) {
  // Style indices and counts: a few digits, no sign.
  if (!text.empty() && text.size() <= 9) {
    std::int32_t value = 0;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
      const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
      if (digit > 9) break;
      value = value * 10 + static_cast<std::int32_t>(digit);
    }
    if (i == text.size()) {
      result = value;
      return true;
    }
  }
  return WholeFromChars(text, result);
}

std::optional<std::int32_t> ParseXMLInt(std::string_view text) {
  std::int32_t value = 0;
  if (!ParseXMLInt(text, value)) return std::nullopt;
  return value;
}

bool ParseXMLFloatGeneral(std::string_view text, double& result) {
  return WholeFromChars(text, result, std::chars_format::general);
}

std::optional<double> ParseXMLFloat(std::string_view text) {
  double value = 0;
  if (!ParseXMLFloat(text, value)) return std::nullopt;
  return value;
}

}  // namespace gridport
