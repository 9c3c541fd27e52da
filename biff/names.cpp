#include "biff/names.h"

#include <algorithm>

#include "biff/formula_tokens.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

// BIFF8 text of count characters at the reader: a flags byte, then UTF-16LE
// characters when it is exactly 1, else 8-bit characters. Returned raw.
std::vector<std::uint8_t> ReadRawText(TByteReader& reader, std::size_t count) {
  std::uint8_t flags = reader.U8();
  std::size_t bytes = flags == 1 ? 2 * count : count;
  const std::uint8_t* chars = reader.Bytes(bytes);
  std::vector<std::uint8_t> raw;
  raw.reserve(bytes + 1);
  raw.push_back(flags);
  raw.insert(raw.end(), chars, chars + bytes);
  return raw;
}

std::u16string ReadText(TByteReader& reader, std::size_t count) {
  return BIFF8Text(ReadRawText(reader, count));
}

}  // namespace

std::u16string BIFF8Text(const std::vector<std::uint8_t>& raw) {
  std::u16string text;
  if (raw.empty()) return text;
  if (raw[0] == 1) {
    for (std::size_t i = 1; i + 1 < raw.size(); i += 2) text.push_back(static_cast<char16_t>(GetU16(&raw[i])));
  } else {
    for (std::size_t i = 1; i < raw.size(); ++i) text.push_back(raw[i]);
  }
  return text;
}

// ---------------------------------------------------------------- NAME

void TInternalNames::AddFromRecord(const std::uint8_t* body, std::size_t length) {
  TByteReader reader(body, length, "NAME record");
  reader.Require(14);
  TInternalName name;
  const std::uint16_t options = GetU16(body);
  struct TBit {
    std::uint16_t Bit, Value;
  };
  static constexpr TBit kOptionBits[] = {{0x0001, nmoHidden},  {0x0002, nmoFunction},
                                         {0x0004, nmoVBProcedure}, {0x0008, nmoMacro},
                                         {0x0010, nmoComplex}, {0x0020, nmoBuiltIn},
                                         {0x1000, nmoPublished}};
  for (const TBit& bit : kOptionBits)
    if (options & bit.Bit) name.Options |= bit.Value;
  name.FunctionGroup = static_cast<std::uint16_t>((options & 0x0FC0) >> 5);
  name.KeyboardShortcut = body[2];
  const std::size_t name_chars = body[3];
  name.FormulaSize = GetU16(body + 4);
  name.Reserved = GetU16(body + 6);
  name.SheetIndex = GetU16(body + 8);
  const std::size_t text_chars[4] = {body[10], body[11], body[12], body[13]};
  reader.Skip(14);
  name.Name = ReadRawText(reader, name_chars);
  // The definition: the tokens, then the extra bytes they require.
  const std::uint8_t* tokens = reader.Bytes(name.FormulaSize);
  std::size_t extra = FormulaExtraSize(tokens, name.FormulaSize, reader.Current(), reader.Remaining());
  reader.Skip(extra);
  name.Definition.assign(tokens, tokens + name.FormulaSize + extra);
  std::u16string* texts[4] = {&name.CustomMenu, &name.Description, &name.HelpTopic, &name.StatusBar};
  for (int i = 0; i < 4; ++i)
    if (text_chars[i] != 0) *texts[i] = ReadText(reader, text_chars[i]);
  name.FromFile = true;
  names_.push_back(std::move(name));
}

const TInternalName& TInternalNames::operator[](std::size_t index) const {
  if (index >= names_.size()) throw EListError(static_cast<long long>(index));
  return names_[index];
}

// ---------------------------------------------------------------- external references

void TExternalNames::Clear() {
  ext_sheets_.clear();
  sup_books_.clear();
  ext_relations_.Clear();
}

void TExternalNames::AddSupBook(const std::uint8_t* body, std::size_t length) {
  TByteReader reader(body, length, "SUPBOOK record");
  TSupBook book;
  book.SheetCount = reader.U16();
  const std::uint16_t second = reader.U16();
  if (second == TSupBook::kSelf || second == TSupBook::kAddIn) {
    book.Marker = second;
  } else {
    book.FileName = ReadRawText(reader, second);
    // Each sheet name takes at least 3 bytes: no reservation beyond the body.
    book.Sheets.reserve(std::min<std::size_t>(book.SheetCount, reader.Remaining() / 3));
    for (std::size_t i = 0; i < book.SheetCount; ++i) {
      std::size_t chars = reader.U16();
      book.Sheets.push_back({ReadRawText(reader, chars), {}});
    }
  }
  sup_books_.push_back(std::move(book));
}

void TExternalNames::AddExternName(const std::uint8_t* body, std::size_t length) {
  if (sup_books_.empty()) throw EXLSError("No SUPBOOK for EXTERNNAME");
  TByteReader reader(body, length, "EXTERNNAME record");
  reader.Require(7);
  const std::uint16_t options = GetU16(body);
  std::unique_ptr<TExtName> name;
  TExtNameName* defined = nullptr;
  if (options == 0 || options == 1) {
    auto named = std::make_unique<TExtNameName>();
    defined = named.get();
    name = std::move(named);
  } else if (options & 0x0010) {
    name = std::make_unique<TExtNameOLE>();
  } else {
    name = std::make_unique<TExtNameDDE>();
  }
  name->Options = options;
  reader.Skip(6);
  std::size_t chars = reader.U8();
  name->Name = ReadRawText(reader, chars);
  if (defined != nullptr) {
    std::size_t size = reader.U16();
    const std::uint8_t* definition = reader.Bytes(size);
    defined->Definition.assign(definition, definition + size);
  }
  sup_books_.back().Names.push_back(std::move(name));
}

// A long EXTERNSHEET continues in CONTINUE records; the entries this body
// holds are taken and the count is not trusted beyond them.
void TExternalNames::AddExternSheet(const std::uint8_t* body, std::size_t length) {
  TByteReader reader(body, length, "EXTERNSHEET record");
  std::size_t count = std::min<std::size_t>(reader.U16(), reader.Remaining() / 6);
  ext_sheets_.reserve(ext_sheets_.size() + count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = reader.Bytes(6);
    ext_sheets_.push_back({GetU16(entry), static_cast<std::int16_t>(GetU16(entry + 2)),
                           static_cast<std::int16_t>(GetU16(entry + 4))});
  }
}

void TExternalNames::AddCRN(std::uint16_t sheet_index, const std::uint8_t* body, std::size_t length) {
  if (sup_books_.empty()) throw EXLSError("No SUPBOOK for CRN");
  TSupBook& book = sup_books_.back();
  // The sheet must exist, not only be counted: a SUPBOOK of the workbook's own
  // sheets counts them but lists none.
  if (sheet_index >= book.SheetCount || sheet_index >= book.Sheets.size())
    throw EXLSError("Invalid SUPBOOK Sheet Index");
  TByteReader reader(body, length, "CRN record");
  reader.Require(4);
  TCRN crn;
  crn.LastCol = body[0];
  crn.FirstCol = body[1];
  crn.Row = GetU16(body + 2);
  crn.Values.assign(body + 4, body + length);
  book.Sheets[sheet_index].CRNs.push_back(std::move(crn));
}

}  // namespace gridport
