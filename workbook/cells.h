// The cells of a sheet: type codes and the cell classes.
//
// Every cell is 16 bytes: position, type code and format index in the first
// eight, the value (or a reference to it) in the second eight. Cells are not
// heap objects of their own: the sheet's cell storage (cell_storage.h) builds
// them in its pools, owns them and frees them in bulk. A TCell pointer stays
// valid until its cell is replaced or deleted, or the storage is cleared.
//
// The concrete classes add no fields; each is created only with its own type
// code, so a TCell whose CellKind() is ckNumber may be cast to TFloatCell
// (use the As<> helper, which checks).
#pragma once

#include <cstdint>
#include <string_view>

namespace gridport {

class TSSTEntry;  // a shared string table entry (sst.h)

enum TCellKind : std::uint8_t {
  ckNone = 0,
  ckBlank = 1,
  ckNumber = 4,
  ckString = 5,
  ckBoolean = 6,
  ckError = 7,
  ckNumberFormula = 8,
  ckStringFormula = 9,
  ckBooleanFormula = 10,
  ckErrorFormula = 11,
  ckNumberArrayFormula = 12,
  ckStringArrayFormula = 13,
};

inline bool IsFormulaKind(TCellKind kind) { return kind >= ckNumberFormula; }

// What a formula cell keeps beside its cached result. It lives in the
// storage's byte arena together with the byte buffers it points to, and is
// freed with the storage's pools.
struct TFormulaData {
  // Parsed-expression bytes plus additional data (BIFF), or the formula text
  // as 8-bit characters (Open XML, IsText 1).
  const std::uint8_t* FormulaData = nullptr;
  std::uint32_t DataSize = 0;
  std::uint32_t ExpressionSize = 0;  // parsed expression alone; 0 for text
  std::uint8_t Evaluated = 0;        // set by a formula evaluator, never by reading
  std::uint8_t IsText = 0;
  std::uint8_t Flags = 0;            // Open XML formula attributes
  std::uint8_t IsContinuation = 0;   // array formulas: 1 for cells after the first
  std::int16_t SharedIndex = -1;     // shared formula index, -1 for none
  // Array formulas: the array formula record's bytes.
  const std::uint8_t* ArrayData = nullptr;
  std::uint32_t ArrayDataSize = 0;
  // Cached result: Number for number formulas, ResultByte for boolean and
  // error formulas, Text/TextLength for string formulas.
  std::uint8_t ResultByte = 0;
  std::uint32_t TextLength = 0;
  double Number = 0;
  const char16_t* Text = nullptr;
};

class TCell {
 public:
  TCellKind CellKind() const { return static_cast<TCellKind>(rowAndKind_ >> 24); }
  std::uint16_t Col() const { return col_; }
  std::uint32_t Row() const { return rowAndKind_ & 0xFFFFFFu; }
  // Index of the cell's format in the workbook's cell-format list.
  std::uint16_t FormatIndex() const { return format_; }
  void SetFormatIndex(std::uint16_t index) { format_ = index; }

  template <typename T>
  const T* As() const {
    return T::Holds(CellKind()) ? static_cast<const T*>(this) : nullptr;
  }
  template <typename T>
  T* As() {
    return T::Holds(CellKind()) ? static_cast<T*>(this) : nullptr;
  }

 protected:
  friend class TCellStorage;  // moves cells (PlaceCell)
  void MoveTo(std::uint16_t col, std::uint32_t row) {
    col_ = col;
    rowAndKind_ = (rowAndKind_ & 0xFF000000u) | row;
  }

  TCell(TCellKind kind, std::uint16_t col, std::uint32_t row, std::uint16_t format)
      : rowAndKind_(row | (static_cast<std::uint32_t>(kind) << 24)), col_(col), format_(format) {}

  std::uint32_t rowAndKind_;  // row in the low 24 bits (rows < 2^20), type code above
  std::uint16_t col_;
  std::uint16_t format_;
  union {
    double number;
    TSSTEntry* entry;
    std::uint8_t byte;
    TFormulaData* formula;
  } value_;
};

class TBlankCell : public TCell {
 public:
  static bool Holds(TCellKind k) { return k == ckBlank; }
  TBlankCell(std::uint16_t col, std::uint32_t row, std::uint16_t format) : TCell(ckBlank, col, row, format) {
    value_.formula = nullptr;
  }
};

class TFloatCell : public TCell {
 public:
  static bool Holds(TCellKind k) { return k == ckNumber; }
  TFloatCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, double value)
      : TCell(ckNumber, col, row, format) {
    value_.number = value;
  }
  double Value() const { return value_.number; }
};

// Refers to a counted entry of the workbook's shared string table; the
// reference is taken by whoever creates the cell (the insert operations).
class TStringCell : public TCell {
 public:
  static bool Holds(TCellKind k) { return k == ckString; }
  TStringCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, TSSTEntry* entry)
      : TCell(ckString, col, row, format) {
    value_.entry = entry;
  }
  TSSTEntry* Entry() const { return value_.entry; }
};

class TBooleanCell : public TCell {
 public:
  static bool Holds(TCellKind k) { return k == ckBoolean; }
  TBooleanCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, std::uint8_t value)
      : TCell(ckBoolean, col, row, format) {
    value_.number = 0;
    value_.byte = value;
  }
  std::uint8_t Value() const { return value_.byte; }  // 0 false, else true
};

class TErrorCell : public TCell {
 public:
  static bool Holds(TCellKind k) { return k == ckError; }
  TErrorCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, std::uint8_t code)
      : TCell(ckError, col, row, format) {
    value_.number = 0;
    value_.byte = code;
  }
  std::uint8_t ErrorCode() const { return value_.byte; }  // 1..7
};

// Base of the formula cells (codes 8..13); never created by itself.
class TFormulaCell : public TCell {
 public:
  static bool Holds(TCellKind k) { return IsFormulaKind(k); }
  const TFormulaData& Formula() const { return *value_.formula; }
  TFormulaData& Formula() { return *value_.formula; }
  std::int16_t SharedIndex() const { return value_.formula->SharedIndex; }

 protected:
  TFormulaCell(TCellKind kind, std::uint16_t col, std::uint32_t row, std::uint16_t format, TFormulaData* data)
      : TCell(kind, col, row, format) {
    value_.formula = data;
  }
};

class TNumberFormulaCell : public TFormulaCell {
 public:
  static bool Holds(TCellKind k) { return k == ckNumberFormula; }
  TNumberFormulaCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, TFormulaData* data)
      : TFormulaCell(ckNumberFormula, col, row, format, data) {}
  double Result() const { return Formula().Number; }
};

class TStringFormulaCell : public TFormulaCell {
 public:
  static bool Holds(TCellKind k) { return k == ckStringFormula; }
  TStringFormulaCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, TFormulaData* data)
      : TFormulaCell(ckStringFormula, col, row, format, data) {}
  std::u16string_view Result() const { return {Formula().Text, Formula().TextLength}; }
};

class TBooleanFormulaCell : public TFormulaCell {
 public:
  static bool Holds(TCellKind k) { return k == ckBooleanFormula; }
  TBooleanFormulaCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, TFormulaData* data)
      : TFormulaCell(ckBooleanFormula, col, row, format, data) {}
  std::uint8_t Result() const { return Formula().ResultByte; }
};

class TErrorFormulaCell : public TFormulaCell {
 public:
  static bool Holds(TCellKind k) { return k == ckErrorFormula; }
  TErrorFormulaCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, TFormulaData* data)
      : TFormulaCell(ckErrorFormula, col, row, format, data) {}
  std::uint8_t Result() const { return Formula().ResultByte; }  // cell error code 0..7
};

// Base of the array formula cells (codes 12, 13); never created by itself.
class TBaseArrayFormulaCell : public TFormulaCell {
 public:
  static bool Holds(TCellKind k) { return k == ckNumberArrayFormula || k == ckStringArrayFormula; }

 protected:
  using TFormulaCell::TFormulaCell;
};

class TNumberArrayFormulaCell : public TBaseArrayFormulaCell {
 public:
  static bool Holds(TCellKind k) { return k == ckNumberArrayFormula; }
  TNumberArrayFormulaCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, TFormulaData* data)
      : TBaseArrayFormulaCell(ckNumberArrayFormula, col, row, format, data) {}
  double Result() const { return Formula().Number; }
};

class TStringArrayFormulaCell : public TBaseArrayFormulaCell {
 public:
  static bool Holds(TCellKind k) { return k == ckStringArrayFormula; }
  TStringArrayFormulaCell(std::uint16_t col, std::uint32_t row, std::uint16_t format, TFormulaData* data)
      : TBaseArrayFormulaCell(ckStringArrayFormula, col, row, format, data) {}
  std::u16string_view Result() const { return {Formula().Text, Formula().TextLength}; }
};

static_assert(sizeof(TCell) == 16 && sizeof(TFloatCell) == 16 && sizeof(TStringArrayFormulaCell) == 16,
              "cells share one pool slot size");

}  // namespace gridport
