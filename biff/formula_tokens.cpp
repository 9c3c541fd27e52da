#include "biff/formula_tokens.h"

#include <cstdio>
#include <string>

#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

[[noreturn]] void UnknownToken(const std::uint8_t* token, std::size_t offset) {
  char text[96];
  std::snprintf(text, sizeof text, "Unknown formula token %.2X at token offset %zu", token[0], offset);
  throw EXLSError(text);
}

// Size of the token at p (its first byte included), with at least one byte
// available. Returns 0 for a token this walk does not know.
std::size_t TokenSize(TByteReader& reader) {
  const std::uint8_t* p = reader.Current();
  const std::uint8_t id = p[0];
  if (id >= 0x80) return 0;
  if (id >= 0x20) {
    switch (id & 0x1F) {  // operand classes 0x20, 0x40, 0x60 share the layout
      case 0x00: return 8;   // ptgArray (its values are extra data)
      case 0x01: return 3;   // ptgFunc
      case 0x02: return 4;   // ptgFuncVar
      case 0x03: return 5;   // ptgName
      case 0x04: return 5;   // ptgRef
      case 0x05: return 9;   // ptgArea
      case 0x06: return 7;   // ptgMemArea (its references are extra data)
      case 0x07: return 7;   // ptgMemErr
      case 0x08: return 7;   // ptgMemNoMem
      case 0x09: return 3;   // ptgMemFunc
      case 0x0A: return 5;   // ptgRefErr
      case 0x0B: return 9;   // ptgAreaErr
      case 0x0C: return 5;   // ptgRefN
      case 0x0D: return 9;   // ptgAreaN
      case 0x19: return 7;   // ptgNameX
      case 0x1A: return 7;   // ptgRef3d
      case 0x1B: return 11;  // ptgArea3d
      case 0x1C: return 7;   // ptgRefErr3d
      case 0x1D: return 11;  // ptgAreaErr3d
      default: return 0;
    }
  }
  switch (id) {
    case 0x01: case 0x02: return 5;  // ptgExp, ptgTbl
    case 0x17: {                     // ptgStr: count, flags, characters
      reader.Require(3);
      std::size_t count = p[1];
      return 3 + ((p[2] & 1) ? 2 * count : count);
    }
    case 0x18:  // ptgSxName; the natural-language tokens are not walked
      reader.Require(2);
      return p[1] == 0x1D ? 6 : 0;
    case 0x19: {  // ptgAttr; tAttrChoose carries its jump table
      reader.Require(4);
      std::size_t size = 4;
      if (p[1] & 0x04) size += 2 * (std::size_t{GetU16(p + 2)} + 1);
      return size;
    }
    case 0x1C: case 0x1D: return 2;  // ptgErr, ptgBool
    case 0x1E: return 3;             // ptgInt
    case 0x1F: return 9;             // ptgNum
    default:
      return (id >= 0x03 && id <= 0x16) ? 1 : 0;  // operators, ptgParen, ptgMissArg
  }
}

// An array constant: columns - 1, rows - 1, then one typed value per cell.
void SkipArrayValues(TByteReader& extra) {
  std::size_t columns = std::size_t{extra.U8()} + 1;
  std::size_t rows = std::size_t{extra.U16()} + 1;
  // Each value takes at least 3 bytes; the count is checked before the walk.
  if (columns * rows > extra.Remaining() / 3) extra.Require(columns * rows * 3);
  for (std::size_t i = 0; i < columns * rows; ++i) {
    std::uint8_t type = extra.U8();
    switch (type) {
      case 0x00: case 0x01: case 0x04: case 0x10: extra.Skip(8); break;  // empty, number, bool, error
      case 0x02: {  // string: count, flags, characters
        std::size_t count = extra.U16();
        std::uint8_t flags = extra.U8();
        extra.Skip((flags & 1) ? 2 * count : count);
        break;
      }
      default: {
        char text[64];
        std::snprintf(text, sizeof text, "Unknown array constant type %.2X", type);
        throw EXLSError(text);
      }
    }
  }
}

}  // namespace

std::size_t FormulaExtraSize(const std::uint8_t* tokens, std::size_t token_size,
                             const std::uint8_t* extra_bytes, std::size_t extra_available) {
  TByteReader reader(tokens, token_size, "formula");
  TByteReader extra(extra_bytes, extra_available, "formula extra");
  while (reader.Remaining() > 0) {
    const std::size_t offset = reader.Position();
    const std::uint8_t id = reader.Current()[0];
    std::size_t size = TokenSize(reader);
    if (size == 0) UnknownToken(reader.Current(), offset);
    reader.Skip(size);
    if (id >= 0x20 && (id & 0x1F) == 0x00) SkipArrayValues(extra);
    if (id >= 0x20 && (id & 0x1F) == 0x06) extra.Skip(std::size_t{extra.U16()} * 8);  // Ref8U list
  }
  return extra.Position();
}

}  // namespace gridport
