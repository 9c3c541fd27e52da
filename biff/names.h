// The workbook's defined names and external references as a BIFF8 file
// describes them: NAME records fill TInternalNames; SUPBOOK, EXTERNNAME,
// EXTERNSHEET and the CRN records of XCT fill TExternalNames. The formula
// layer reads them to turn name and 3-D reference tokens into text.
//
// Names and file names are kept as raw BIFF8 text (flags byte, then the
// characters), as the records hold them; BIFF8Text() decodes one.
// Every Add* takes one record body and checks each count and length against
// it; a body that cannot hold what it announces raises EXLSError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "workbook/package_relations.h"

namespace gridport {

// Decodes raw BIFF8 text (flags byte, characters) into UTF-16.
std::u16string BIFF8Text(const std::vector<std::uint8_t>& raw);

// Option values of a defined name (mapped from the NAME option bits).
enum : std::uint16_t {
  nmoBuiltIn = 0x0001,
  nmoHidden = 0x0002,
  nmoFunction = 0x0004,
  nmoVBProcedure = 0x0008,
  nmoMacro = 0x0010,
  nmoComplex = 0x0100,
  nmoPublished = 0x0200,
  // Only an Excel 2007 package sets these.
  nmoXlm = 0x0020,
  nmoPublishToServer = 0x0040,
  nmoWorkbookParameter = 0x0080,
};

struct TInternalName {
  std::uint16_t Options = 0;
  std::uint16_t FunctionGroup = 0;
  std::uint8_t KeyboardShortcut = 0;
  std::uint16_t SheetIndex = 0;  // 0: the workbook's; n: the n-th sheet's
  std::uint16_t Reserved = 0;
  std::vector<std::uint8_t> Name;        // raw BIFF8 text
  std::uint16_t FormulaSize = 0;         // bytes of tokens at the start of Definition
  std::vector<std::uint8_t> Definition;  // tokens, then the extra bytes they require
  std::u16string CustomMenu, Description, HelpTopic, StatusBar;
  bool FromFile = false;
  // A name of an Excel 2007 package: its comment and its definition as formula text (Name
  // holds the name as raw BIFF8 text, 16-bit characters, and FormulaSize is 0).
  std::u16string Comment;
  std::u16string DefinitionText;
};

class TInternalNames {
 public:
  // Appends the name of a NAME record body.
  void AddFromRecord(const std::uint8_t* body, std::size_t length);
  // Appends a name read elsewhere (a package's "definedName").
  void Add(TInternalName name) { names_.push_back(std::move(name)); }
  std::size_t Count() const { return names_.size(); }
  // Throws EListError for an index outside the list.
  const TInternalName& operator[](std::size_t index) const;
  void Clear() { names_.clear(); }

 private:
  std::vector<TInternalName> names_;
};

struct TExtSheet {
  std::int32_t SupBook = 0;
  std::int16_t FirstSheet = 0;
  std::int16_t LastSheet = 0;
};
using TExtSheetList = std::vector<TExtSheet>;

struct TCRN {
  std::uint8_t FirstCol = 0;
  std::uint8_t LastCol = 0;
  std::uint16_t Row = 0;
  std::vector<std::uint8_t> Values;  // the cached values, unchanged
};
using TCRNList = std::vector<TCRN>;

struct TSupBookSheet {
  std::vector<std::uint8_t> Name;  // raw BIFF8 text
  TCRNList CRNs;
};

// An external name; its kind is its class.
struct TExtName {
  virtual ~TExtName() = default;
  std::uint16_t Options = 0;
  std::vector<std::uint8_t> Name;  // raw BIFF8 text
};
struct TExtNameName final : TExtName {
  std::vector<std::uint8_t> Definition;
};
struct TExtNameDDE final : TExtName {};
struct TExtNameOLE final : TExtName {};
using TExtNameList = std::vector<std::unique_ptr<TExtName>>;

struct TSupBook {
  static constexpr std::uint16_t kSelf = 0x0401;    // the workbook's own sheets
  static constexpr std::uint16_t kAddIn = 0x3A01;   // add-in functions
  std::uint16_t SheetCount = 0;
  std::uint16_t Marker = 0;              // kSelf, kAddIn, or 0 with a file name
  std::vector<std::uint8_t> FileName;    // raw BIFF8 text
  std::vector<TSupBookSheet> Sheets;
  TExtNameList Names;
};
using TSupBookList = std::vector<TSupBook>;

class TExternalNames {
 public:
  void AddSupBook(const std::uint8_t* body, std::size_t length);
  // Attaches the name to the last SUPBOOK; "No SUPBOOK for EXTERNNAME" without one.
  void AddExternName(const std::uint8_t* body, std::size_t length);
  void AddExternSheet(const std::uint8_t* body, std::size_t length);
  // A CRN of the XCT whose sheet index is given, for the last SUPBOOK.
  void AddCRN(std::uint16_t sheet_index, const std::uint8_t* body, std::size_t length);
  void Clear();

  bool AllowExternalLookup = true;
  const TExtSheetList& ExtSheets() const { return ext_sheets_; }
  const TSupBookList& SupBooks() const { return sup_books_; }
  // The external-link relationships of an Excel 2007 package ("externalReference" elements of
  // the workbook part), shared with the workbook's relationship list.
  TXMLExtRelations& ExtRelations() { return ext_relations_; }
  const TXMLExtRelations& ExtRelations() const { return ext_relations_; }

 private:
  TExtSheetList ext_sheets_;
  TSupBookList sup_books_;
  TXMLExtRelations ext_relations_;
};

}  // namespace gridport
