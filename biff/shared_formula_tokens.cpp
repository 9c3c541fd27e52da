#include "biff/shared_formula_tokens.h"

namespace gridport {
namespace {

constexpr std::uint8_t kPtgExp = 0x01, kPtgTbl = 0x02, kPtgStr = 0x17, kPtgAttr = 0x19;
constexpr std::uint8_t kPtgErr = 0x1C, kPtgBool = 0x1D, kPtgInt = 0x1E, kPtgNum = 0x1F;
constexpr std::uint8_t kAttrChoose = 0x04;

void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Operand sizes (after the token byte) of the reference-class tokens 0x20-0x3D,
// indexed by token & 0x1F. 0 means unknown: the walk stops there.
struct TOperandSizes {
  std::uint8_t biff8[32];
  std::uint8_t biff5[32];
};
constexpr TOperandSizes kOperandSizes = {
    // 20 Array, 21 Func, 22 FuncVar, 23 Name, 24 Ref, 25 Area, 26 MemArea, 27 MemErr,
    // 28 MemNoMem, 29 MemFunc, 2A RefErr, 2B AreaErr, 2C RefN, 2D AreaN, 2E MemAreaN,
    // 2F MemNoMemN, 30-38 unused, 39 NameX, 3A Ref3d, 3B Area3d, 3C RefErr3d, 3D AreaErr3d
    {7, 2, 3, 4, 4, 8, 6, 6, 6, 2, 4, 8, 4, 8, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 6, 10, 6, 10, 0, 0},
    {7, 2, 3, 14, 3, 6, 6, 6, 6, 2, 3, 6, 3, 6, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 24, 17, 20, 17, 20, 0, 0},
};

// BIFF8: row 16-bit, column word with bit 15 row-relative, bit 14 column-relative.
// Relative parts hold a signed offset (16-bit rows, 8-bit columns).
void ResolveBiff8(std::uint8_t* rowp, std::uint8_t* colp, std::uint16_t col, std::uint32_t row) {
  std::uint16_t colWord = Get16(colp);
  if (colWord & 0x8000u) {
    Put16(rowp, static_cast<std::uint16_t>(row + static_cast<std::int16_t>(Get16(rowp))));
  }
  if (colWord & 0x4000u) {
    std::uint8_t newCol = static_cast<std::uint8_t>(col + static_cast<std::int8_t>(colWord & 0xFFu));
    colWord = static_cast<std::uint16_t>((colWord & 0xC000u) | newCol);
    Put16(colp, colWord);
  }
}

// BIFF5: row word with bit 15 row-relative, bit 14 column-relative and a 14-bit
// row; column byte. Relative parts hold a signed offset.
void ResolveBiff5(std::uint8_t* rowp, std::uint8_t* colp, std::uint16_t col, std::uint32_t row) {
  std::uint16_t rowWord = Get16(rowp);
  if (rowWord & 0x8000u) {
    std::int32_t offset = rowWord & 0x3FFF;
    if (offset & 0x2000) offset -= 0x4000;
    rowWord = static_cast<std::uint16_t>((rowWord & 0xC000u) | ((row + offset) & 0x3FFFu));
    Put16(rowp, rowWord);
  }
  if (rowWord & 0x4000u) *colp = static_cast<std::uint8_t>(col + static_cast<std::int8_t>(*colp));
}

}  // namespace

void ResolveSharedFormulaTokens(std::uint8_t* tokens, std::size_t size, bool biff8,
                                std::uint16_t col, std::uint32_t row) {
  std::size_t pos = 0;
  while (pos < size) {
    const std::uint8_t ptg = tokens[pos];
    const std::size_t remaining = size - pos - 1;
    std::size_t operand = 0;
    if (ptg >= 0x20 && ptg < 0x80) {
      const std::uint8_t base = ptg & 0x1F;
      operand = biff8 ? kOperandSizes.biff8[base] : kOperandSizes.biff5[base];
      if (operand == 0 || operand > remaining) return;
      std::uint8_t* p = tokens + pos + 1;
      if (base == 0x0C) {  // RefN -> Ref
        if (biff8) ResolveBiff8(p, p + 2, col, row);
        else ResolveBiff5(p, p + 2, col, row);
        tokens[pos] = static_cast<std::uint8_t>(ptg - 0x08);
      } else if (base == 0x0D) {  // AreaN -> Area
        if (biff8) {
          ResolveBiff8(p, p + 4, col, row);
          ResolveBiff8(p + 2, p + 6, col, row);
        } else {
          ResolveBiff5(p, p + 4, col, row);
          ResolveBiff5(p + 2, p + 5, col, row);
        }
        tokens[pos] = static_cast<std::uint8_t>(ptg - 0x08);
      }
    } else if (ptg >= 0x03 && ptg <= 0x16) {
      operand = 0;  // operators, parentheses, missing argument
    } else {
      switch (ptg) {
        case kPtgExp:
        case kPtgTbl: operand = 4; break;
        case kPtgErr:
        case kPtgBool: operand = 1; break;
        case kPtgInt: operand = 2; break;
        case kPtgNum: operand = 8; break;
        case kPtgStr: {
          if (remaining < 1) return;
          const std::size_t count = tokens[pos + 1];
          if (biff8) {
            if (remaining < 2) return;
            operand = 2 + count * ((tokens[pos + 2] & 0x01) ? 2 : 1);
          } else {
            operand = 1 + count;
          }
          break;
        }
        case kPtgAttr: {
          if (remaining < 3) return;
          operand = 3;
          if (tokens[pos + 1] & kAttrChoose) operand += 2 * (static_cast<std::size_t>(Get16(tokens + pos + 2)) + 1);
          break;
        }
        default: return;  // unknown or extended token: leave the rest untouched
      }
      if (operand > remaining) return;
    }
    pos += 1 + operand;
  }
}

}  // namespace gridport
