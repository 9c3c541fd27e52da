// Defined names and external references filled from record bodies built here,
// and the token walk that finds the extra bytes of a definition.
#include "biff/names.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "biff/formula_tokens.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Cat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const TBytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
TBytes U16(std::uint16_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8)}; }
TBytes Text8(const std::string& s) {  // BIFF8 text with 8-bit characters
  TBytes out = {0};
  out.insert(out.end(), s.begin(), s.end());
  return out;
}

TEST(FormulaTokens, ExtraSizeOfTokenLists) {
  struct TCase {
    const char* Name;
    TBytes Tokens;
    TBytes Extra;
    std::size_t Size;
  };
  // An array constant {1,"ab";TRUE,#N/A}: 2 columns, 2 rows.
  const TBytes array_values = Cat({{1}, U16(1), {1}, TBytes(8, 0), {2}, U16(2), {0}, {'a', 'b'},
                                   {4, 1, 0, 0, 0, 0, 0, 0, 0}, {0x10, 0x2A, 0, 0, 0, 0, 0, 0, 0}});
  const TCase cases[] = {
      {"reference", {0x3A, 0, 0, 1, 0, 2, 0}, {9, 9}, 0},
      {"area, operators, function", {0x25, 0, 0, 1, 0, 0, 0, 1, 0, 0x1E, 5, 0, 0x03, 0x41, 4, 0}, {}, 0},
      {"string and number", {0x17, 3, 1, 'a', 0, 'b', 0, 'c', 0, 0x1F, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0x03}, {}, 0},
      {"attribute choose with its jump table", {0x19, 0x04, 2, 0, 1, 0, 2, 0, 3, 0, 0x1D, 1}, {}, 0},
      {"array constant", {0x60, 0, 0, 0, 0, 0, 0, 0}, Cat({array_values, {7, 7}}), array_values.size()},
      {"two arrays in token order",
       {0x40, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0x03},
       Cat({{0}, U16(0), {1}, TBytes(8, 0), {0}, U16(0), {4}, TBytes(8, 0)}), 24},
      {"mem area with its references", {0x26, 0, 0, 0, 0, 7, 0, 0x25, 0, 0, 0, 0, 0, 0, 0, 0},
       Cat({U16(2), TBytes(16, 1)}), 18},
      {"name and external name", {0x23, 1, 0, 0, 0, 0x39, 0, 0, 2, 0, 0, 0}, {}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(FormulaExtraSize(c.Tokens.data(), c.Tokens.size(), c.Extra.data(), c.Extra.size()), c.Size);
  }
}

TEST(FormulaTokens, RejectsWhatItCannotWalk) {
  struct TCase {
    const char* Name;
    TBytes Tokens;
    TBytes Extra;
    const char* Message;
  };
  const TCase cases[] = {
      {"unknown token", {0x24, 0, 0, 0, 0, 0x2E}, {}, "Unknown formula token 2E at token offset 5"},
      {"token past the end", {0x1F, 0, 0}, {}, "Unexpected end of formula data"},
      {"natural-language token", {0x18, 0x01, 0, 0, 0, 0}, {}, "Unknown formula token 18"},
      {"array without its values", {0x20, 0, 0, 0, 0, 0, 0, 0}, {0, 0}, "Unexpected end of formula extra data"},
      {"array claiming more values than bytes", {0x20, 0, 0, 0, 0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 1}, "Unexpected end of formula extra"},
      {"unknown array value type", {0x20, 0, 0, 0, 0, 0, 0, 0}, Cat({{0}, U16(0), {3}, TBytes(8, 0)}), "Unknown array constant type 03"},
      {"mem area list past the end", {0x26, 0, 0, 0, 0, 0, 0}, Cat({U16(5), TBytes(8, 0)}), "Unexpected end of formula extra"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    try {
      FormulaExtraSize(c.Tokens.data(), c.Tokens.size(), c.Extra.data(), c.Extra.size());
      ADD_FAILURE() << "no exception";
    } catch (const EXLSError& error) {
      EXPECT_NE(std::string(error.what()).find(c.Message), std::string::npos) << error.what();
    }
  }
}

// A NAME body: options, shortcut, name count, token count, reserved, sheet,
// the four text counts, the name, the definition, the texts.
TBytes NameRecord(std::uint16_t options, const std::string& name, const TBytes& tokens,
                  const TBytes& extra, std::uint16_t sheet, const std::string texts[4]) {
  TBytes body = Cat({U16(options), {0x41, std::uint8_t(name.size())}, U16(std::uint16_t(tokens.size())),
                     U16(0x1234), U16(sheet)});
  for (int i = 0; i < 4; ++i) body.push_back(std::uint8_t(texts[i].size()));
  body = Cat({body, Text8(name), tokens, extra});
  for (int i = 0; i < 4; ++i)
    if (!texts[i].empty()) body = Cat({body, Text8(texts[i])});
  return body;
}

TEST(InternalNames, ReadsNameRecords) {
  TInternalNames names;
  const std::string no_texts[4] = {"", "", "", ""};
  const TBytes area = {0x3B, 0, 0, 0, 0, 9, 0, 0, 0, 2, 0};
  names.AddFromRecord(NameRecord(0x0000, "Total", area, {}, 0, no_texts).data(),
                      NameRecord(0x0000, "Total", area, {}, 0, no_texts).size());
  // Hidden built-in, function group bits, an array constant and a help topic
  // that follows the definition directly (description count 0).
  const std::string help[4] = {"", "", "Help me", ""};
  const TBytes array = {0x60, 0, 0, 0, 0, 0, 0, 0};
  const TBytes values = Cat({{0}, U16(0), {1}, TBytes(8, 0x11)});
  TBytes record = NameRecord(0x0021 | 0x1000 | 0x0080, "\x06", array, values, 2, help);
  names.AddFromRecord(record.data(), record.size());

  ASSERT_EQ(names.Count(), 2u);
  EXPECT_EQ(BIFF8Text(names[0].Name), u"Total");
  EXPECT_EQ(names[0].Definition, area);
  EXPECT_EQ(names[0].FormulaSize, area.size());
  EXPECT_EQ(names[0].Reserved, 0x1234);
  EXPECT_EQ(names[0].KeyboardShortcut, 0x41);
  EXPECT_TRUE(names[0].FromFile);
  EXPECT_EQ(names[1].Options, nmoHidden | nmoBuiltIn | nmoPublished);
  EXPECT_EQ(names[1].FunctionGroup, 0x0080 >> 5);
  EXPECT_EQ(names[1].SheetIndex, 2);
  EXPECT_EQ(names[1].Definition, Cat({array, values}));
  EXPECT_EQ(names[1].HelpTopic, u"Help me");
  EXPECT_TRUE(names[1].Description.empty());
  EXPECT_THROW(names[2], EListError);
}

TEST(InternalNames, OptionBits) {
  const std::pair<std::uint16_t, std::uint16_t> bits[] = {
      {0x0001, nmoHidden}, {0x0002, nmoFunction}, {0x0004, nmoVBProcedure}, {0x0008, nmoMacro},
      {0x0010, nmoComplex}, {0x0020, nmoBuiltIn}, {0x1000, nmoPublished}, {0x0040, 0}};
  const std::string no_texts[4] = {"", "", "", ""};
  for (auto [bit, value] : bits) {
    TInternalNames names;
    TBytes record = NameRecord(bit, "N", {0x1C, 0x17}, {}, 0, no_texts);
    names.AddFromRecord(record.data(), record.size());
    EXPECT_EQ(names[0].Options, value) << bit;
  }
}

TEST(InternalNames, TruncatedRecordsFail) {
  const std::string texts[4] = {"menu", "", "", ""};
  TBytes record = NameRecord(0, "Name", {0x24, 0, 0, 0, 0}, {}, 0, texts);
  for (std::size_t cut : {std::size_t{10}, std::size_t{16}, std::size_t{22}, record.size() - 1}) {
    TInternalNames names;
    EXPECT_THROW(names.AddFromRecord(record.data(), cut), EXLSError) << cut;
    EXPECT_EQ(names.Count(), 0u);
  }
}

TEST(ExternalNames, SupBooksNamesSheetsAndCachedValues) {
  TExternalNames external;
  TBytes self = Cat({U16(3), U16(0x0401)});
  external.AddSupBook(self.data(), self.size());
  TBytes other = Cat({U16(2), U16(8), Text8("\x01" "Ext.xls"), U16(2), Text8("S1"), U16(2), Text8("S2")});
  external.AddSupBook(other.data(), other.size());
  TBytes add_in = Cat({U16(1), U16(0x3A01)});

  TBytes defined = Cat({U16(0), U16(0), U16(0), {3}, Text8("Abc"), U16(2), {0x1C, 0x2A}});
  TBytes ole = Cat({U16(0x0010), U16(0), U16(0), {1}, Text8("O")});
  TBytes dde = Cat({U16(0x0002), U16(0), U16(0), {1}, Text8("D")});
  for (const TBytes* body : {&defined, &ole, &dde}) external.AddExternName(body->data(), body->size());

  TBytes sheets = Cat({U16(2), U16(1), U16(0), U16(1), U16(0), U16(0xFFFE), U16(0xFFFE)});
  external.AddExternSheet(sheets.data(), sheets.size());
  TBytes none = U16(0);
  external.AddExternSheet(none.data(), none.size());

  TBytes crn = {3, 1, 5, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  external.AddCRN(1, crn.data(), crn.size());

  const TSupBookList& books = external.SupBooks();
  ASSERT_EQ(books.size(), 2u);
  EXPECT_EQ(books[0].Marker, TSupBook::kSelf);
  EXPECT_EQ(books[0].SheetCount, 3);
  EXPECT_TRUE(books[0].Sheets.empty());
  EXPECT_TRUE(books[0].Names.empty());
  EXPECT_EQ(BIFF8Text(books[1].FileName), u"\x01" u"Ext.xls");
  ASSERT_EQ(books[1].Sheets.size(), 2u);
  EXPECT_EQ(BIFF8Text(books[1].Sheets[1].Name), u"S2");
  ASSERT_EQ(books[1].Names.size(), 3u);  // all on the second SUPBOOK
  auto* name = dynamic_cast<const TExtNameName*>(books[1].Names[0].get());
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(BIFF8Text(name->Name), u"Abc");
  EXPECT_EQ(name->Definition, (TBytes{0x1C, 0x2A}));
  EXPECT_NE(dynamic_cast<const TExtNameOLE*>(books[1].Names[1].get()), nullptr);
  EXPECT_NE(dynamic_cast<const TExtNameDDE*>(books[1].Names[2].get()), nullptr);
  ASSERT_EQ(external.ExtSheets().size(), 2u);
  EXPECT_EQ(external.ExtSheets()[1].SupBook, 0);
  EXPECT_EQ(external.ExtSheets()[1].FirstSheet, -2);
  ASSERT_EQ(books[1].Sheets[1].CRNs.size(), 1u);
  const TCRN& cached = books[1].Sheets[1].CRNs[0];
  EXPECT_EQ(cached.LastCol, 3);
  EXPECT_EQ(cached.FirstCol, 1);
  EXPECT_EQ(cached.Row, 5);
  EXPECT_EQ(cached.Values.size(), 9u);

  external.AddSupBook(add_in.data(), add_in.size());
  EXPECT_EQ(external.SupBooks().back().Marker, TSupBook::kAddIn);
  external.Clear();
  EXPECT_TRUE(external.SupBooks().empty());
  EXPECT_TRUE(external.ExtSheets().empty());
}

TEST(ExternalNames, Failures) {
  struct TCase {
    const char* Name;
    std::function<void(TExternalNames&)> Act;
    const char* Message;
  };
  TBytes crn = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  TBytes name = Cat({U16(0), U16(0), U16(0), {1}, Text8("A"), U16(0)});
  TBytes two_sheets = Cat({U16(2), U16(1), Text8("F"), U16(1), Text8("A"), U16(1), Text8("B")});
  TBytes self = Cat({U16(3), U16(0x0401)});
  const TCase cases[] = {
      {"CRN before SUPBOOK", [&](TExternalNames& e) { e.AddCRN(0, crn.data(), crn.size()); }, "No SUPBOOK for CRN"},
      {"EXTERNNAME before SUPBOOK", [&](TExternalNames& e) { e.AddExternName(name.data(), name.size()); },
       "No SUPBOOK for EXTERNNAME"},
      {"sheet index at the count", [&](TExternalNames& e) {
         e.AddSupBook(two_sheets.data(), two_sheets.size());
         e.AddCRN(2, crn.data(), crn.size());
       }, "Invalid SUPBOOK Sheet Index"},
      {"self SUPBOOK lists no sheets", [&](TExternalNames& e) {
         e.AddSupBook(self.data(), self.size());
         e.AddCRN(1, crn.data(), crn.size());
       }, "Invalid SUPBOOK Sheet Index"},
      {"SUPBOOK with fewer sheet names than its count", [&](TExternalNames& e) {
         e.AddSupBook(two_sheets.data(), two_sheets.size() - 3);
       }, "Unexpected end of SUPBOOK record data"},
      {"SUPBOOK claiming 65535 sheets", [&](TExternalNames& e) {
         TBytes body = Cat({U16(0xFFFF), U16(1), Text8("F")});
         e.AddSupBook(body.data(), body.size());
       }, "Unexpected end of SUPBOOK record data"},
      {"EXTERNNAME definition past the end", [&](TExternalNames& e) {
         e.AddSupBook(self.data(), self.size());
         TBytes body = Cat({U16(0), U16(0), U16(0), {1}, Text8("A"), U16(50), {1, 2}});
         e.AddExternName(body.data(), body.size());
       }, "Unexpected end of EXTERNNAME record data"},
      {"short CRN", [&](TExternalNames& e) {
         e.AddSupBook(two_sheets.data(), two_sheets.size());
         e.AddCRN(0, crn.data(), 3);
       }, "Unexpected end of CRN record data"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TExternalNames external;
    try {
      c.Act(external);
      ADD_FAILURE() << "no exception";
    } catch (const EXLSError& error) {
      EXPECT_NE(std::string(error.what()).find(c.Message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace gridport
