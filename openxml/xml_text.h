// Decoding of element text and attribute values, and the number conversions of the typed
// accessors. Raw texts are the bytes of the part; decoding happens only when a handler asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gridport {

// Decodes raw bytes as UTF-8 (an invalid sequence gives U+FFFD per byte) and replaces, in one
// pass, character references (decimal "&#10;" of any length, hexadecimal "&#xA;"), the XML
// entities &quot; &amp; &lt; &gt; &apos;, &nbsp; (a plain space) and the HTML names of the
// Latin-1 characters 161-255. Any other ampersand stays as it is. Line ends are read as XML
// defines them: CR LF and a lone CR give LF.
std::u16string DecodeXMLText(std::string_view raw);
// The same, appended to out.
void AppendDecodedXMLText(std::string_view raw, std::u16string& out);

// Replaces the escapes "_xHHHH_" (four hexadecimal digits) by their character, the way
// spreadsheet writers store control characters; "_x005F_" stands for the underscore itself.
void DecodeEscapedUnderscores(std::u16string& text);

// The whole text as a signed decimal 32-bit integer (optional sign); nothing when it is not one.
std::optional<std::int32_t> ParseXMLInt(std::string_view text);
// The whole text as a number with "." as decimal separator; nothing when it is not one.
std::optional<double> ParseXMLFloat(std::string_view text);
// The same for hot paths: false, with value untouched, when the text is not a number.
bool ParseXMLInt(std::string_view text, std::int32_t& value);
bool ParseXMLFloat(std::string_view text, double& value);

}  // namespace gridport
