// The package reader over small hand-built packages (tests/data/openxml/make_package_fixtures.py)
// and the corpus: sheet order, cell types and the writers' habits, relationships, messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "openxml/package_reader.h"
#include "openxml/xml_ids.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

std::string Fixture(const char* name) { return std::string(GRIDPORT_TEST_DATA) + "/openxml/" + name; }

struct TLoaded {
  TXLSWorkbook workbook;
  std::string error;
  explicit TLoaded(const char* name) {
    workbook.SetFilename(Fixture(name));
    try {
      workbook.ReadWorkbook();
    } catch (const std::exception& e) {
      error = e.what();
    }
  }
  std::u16string Text(std::size_t sheet, std::uint16_t col, std::uint32_t row) {
    return workbook.Sheets()[sheet].CellText(col, row);
  }
};

TEST(PackageReader, SheetsComeFromTheWorkbookPartAndNumberedParts) {
  TLoaded order("pkg_sheet_order.xlsx");
  ASSERT_EQ(order.error, "");
  ASSERT_EQ(order.workbook.Sheets().Count(), 3u);
  const char16_t* names[] = {u"A", u"B", u"C"};
  const char16_t* values[] = {u"1", u"2", u"3"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(order.workbook.Sheets()[i].Name(), names[i]);
    EXPECT_EQ(order.Text(i, 0, 0), values[i]);
  }
  TLoaded missing("pkg_sheet2_missing.xlsx");
  ASSERT_EQ(missing.error, "");
  ASSERT_EQ(missing.workbook.Sheets().Count(), 3u);
  EXPECT_EQ(missing.Text(0, 0, 0), u"1");
  EXPECT_EQ(missing.Text(2, 0, 0), u"");  // the loop stopped at the missing sheet2.xml
}

TEST(PackageReader, CellTypesAndWriterHabits) {
  TLoaded p("pkg_cell_types.xlsx");
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.workbook.Sheets()[0].Name(), u"Лист & 1");
  struct {
    std::uint16_t col;
    std::uint32_t row;
    std::u16string text;
  } const cases[] = {
      {0, 0, u"line\rbreak"},        // shared string 1 with an escaped carriage return
      {1, 0, u"plain & str"},        // t="str" without formula: its own text
      {2, 0, u"inline"},             // inline string
      {3, 0, u"rich"},               // inline string in runs
      {5, 0, u"#DIV/0!"},
      {6, 0, u"2.5"},
      {7, 0, u"44941.5"},            // ISO date-time as its serial number
      {8, 0, u""},                   // formula without cached value
      {9, 0, u"ab"},
      {10, 0, u"N/A"},
      {11, 0, u""},
      {1, 2, u"Привет & П"},         // B3: shared string 0
      {2, 2, u"7"},                  // a cell without "r" follows the previous one
  };
  for (const auto& c : cases) EXPECT_EQ(p.Text(0, c.col, c.row), c.text) << c.col << "," << c.row;
  TSheet& sheet = p.workbook.Sheets()[0];
  EXPECT_EQ(sheet.CellKind(4, 0), TCellKind(6));   // boolean
  EXPECT_EQ(sheet.CellKind(8, 0), TCellKind(9));   // string formula
  EXPECT_EQ(sheet.CellKind(11, 0), TCellKind(1));  // blank
}

TEST(PackageReader, PrefixedElements) {
  TLoaded p("pkg_prefixed.xlsx");
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.workbook.Sheets()[0].Name(), u"P");
  EXPECT_EQ(p.Text(0, 1, 1), u"42");
}

TEST(PackageReader, PartsFoundThroughRelationships) {
  TLoaded p("pkg_parts_elsewhere.xlsx");
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.workbook.Sheets()[0].Name(), u"Elsewhere");
  EXPECT_EQ(p.Text(0, 0, 0), u"  spaced  ");  // text of t keeps its spaces without xml:space
  EXPECT_EQ(p.Text(0, 1, 0), u"direct");      // an inline string's own t wins over runs
}

TEST(PackageReader, PartNamesBeyondAscii) {
  TLoaded p("pkg_part_name_utf8.xlsx");
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.workbook.Sheets()[0].Name(), u"Лист");
  EXPECT_EQ(p.Text(0, 0, 0), u"7");  // xl/worksheets/лист1.xml, named by its relationship
}

TEST(PackageReader, Messages) {
  EXPECT_EQ(TLoaded("pkg_not_a_zip.xlsx").error,
            "Cannot process this file: not a zip archive");
  EXPECT_EQ(TLoaded("pkg_target_mode_external.xlsx").error, "");
  EXPECT_EQ(TLoaded("pkg_target_mode_lowercase.xlsx").error, "Unknown Relation TargetMode");
  EXPECT_EQ(TLoaded("pkg_bad_formula_type.xlsx").error, "Unknown Excel XML formula type");
}

struct TKeptTag {
  int id;
  std::string text;
};

void ExpectTags(const TXLSSavedTags& tags, const std::vector<TKeptTag>& expected, const char* owner) {
  ASSERT_EQ(tags.Count(), expected.size()) << owner;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(tags[i].TagId, expected[i].id) << owner << " " << i;
    EXPECT_EQ(tags[i].Text, expected[i].text) << owner << " " << i;
  }
}

// The elements and relationships the reader does not interpret end up in the workbook, its
// sheets and its external names, not in the reader that is gone after the read.
TEST(PackageReader, KeptElementsAndRelationsBelongToTheModel) {
  TLoaded p("pkg_kept_elements.xlsx");
  ASSERT_EQ(p.error, "");
  ExpectTags(p.workbook.SavedTags(),
             {{xtFileVersion, "<fileVersion appName=\"xl\" />\r"},
              {xtWorkbookPr, "<workbookPr/>\r"},  // date1904 is no attribute the reader knows
              {xtBookViews, "<bookViews><workbookView activeTab=\"1\" />\r</bookViews>\r"},
              {xtSheets, "<sheets />"},
              {xtExternalReferences, "<externalReferences />"}},
             "workbook");
  ExpectTags(p.workbook.Sheets()[0].SavedTags(),
             {{xtDimension, "<dimension ref=\"A1:B1\" />\r"},
              {xtSheetViews, "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\" />\r</sheetViews>\r"},
              {xtSheetData, "<sheetData />"},
              {xtHyperlinks, "<hyperlinks><hyperlink r:id=\"rId1\" ref=\"A1\" />\r</hyperlinks>\r"},
              {xtPageMargins,
               "<pageMargins bottom=\"0.75\" footer=\"0.3\" header=\"0.3\" left=\"0.7\" right=\"0.7\" "
               "top=\"0.75\" />\r"}},
             "sheet A");
  ExpectTags(p.workbook.Sheets()[1].SavedTags(), {{xtSheetData, "<sheetData />"}}, "sheet B");

  // The workbook's list leaves out the parts read by fixed names (worksheets, styles).
  const TXMLRelationsWorkbook& relations = p.workbook.PackageRelations();
  ASSERT_EQ(relations.Count(), 2u);
  EXPECT_EQ(relations[0].Id, "rId3");
  EXPECT_EQ(relations[0].Type, "theme");
  EXPECT_EQ(relations[1].Id, "rId4");
  EXPECT_EQ(relations[1].Type, "externalLink");
  EXPECT_EQ(relations[1].Target, "externalLinks/externalLink1.xml");
  const TXMLExtRelations& links = p.workbook.FormulaHandler().ExternalNames().ExtRelations();
  ASSERT_EQ(links.Count(), 1u);
  EXPECT_EQ(&links[0], relations.Find("rId4", true));  // the same relation, not a copy

  const TXMLRelations& sheet_relations = p.workbook.Sheets()[0].PackageRelations();
  ASSERT_EQ(sheet_relations.Count(), 1u);
  EXPECT_EQ(sheet_relations[0].Type, "hyperlink");
  EXPECT_EQ(sheet_relations[0].Target, "http://example.com/");
  EXPECT_EQ(sheet_relations[0].TargetMode, tmExternal);
  EXPECT_TRUE(sheet_relations.Ordered());
  EXPECT_EQ(p.workbook.Sheets()[1].PackageRelations().Count(), 0u);
  EXPECT_TRUE(relations.Ordered());
}

// A load starts from an empty workbook: nothing kept from the file read before stays, whether
// the next file is a package, a BIFF file or no workbook at all; clearing empties them too.
TEST(PackageReader, KeptElementsAndRelationsDoNotOutliveTheirFile) {
  struct {
    std::string next;  // "" for ClearWorkbook
    bool fails;
    std::size_t workbook_tags, sheet_tags;
  } const cases[] = {
      {Fixture("pkg_sheet_order.xlsx"), false, 1, 1},  // the markers of "sheets" and "sheetData"
      {std::string(GRIDPORT_TEST_DATA) + "/workbook/every_kind.xls", false, 0, 0},
      {Fixture("pkg_not_a_zip.xlsx"), true, 0, 0},
      {"", false, 0, 0},
  };
  for (const auto& c : cases) {
    TLoaded p("pkg_kept_elements.xlsx");
    ASSERT_EQ(p.error, "");
    ASSERT_GT(p.workbook.SavedTags().Count(), 0u);
    if (c.next.empty()) {
      p.workbook.ClearWorkbook();
    } else {
      p.workbook.SetFilename(c.next);
      bool failed = false;
      try {
        p.workbook.ReadWorkbook();
      } catch (const std::exception&) {
        failed = true;
      }
      EXPECT_EQ(failed, c.fails) << c.next;
    }
    const TXLSWorkbook& w = p.workbook;
    EXPECT_EQ(w.SavedTags().Count(), c.workbook_tags) << c.next;
    EXPECT_EQ(w.PackageRelations().Count(), 0u) << c.next;
    EXPECT_EQ(p.workbook.FormulaHandler().ExternalNames().ExtRelations().Count(), 0u) << c.next;
    EXPECT_EQ(w.Sheets()[0].SavedTags().Count(), c.sheet_tags) << c.next;
    EXPECT_EQ(w.Sheets()[0].PackageRelations().Count(), 0u) << c.next;
  }
}

TEST(PackageReader, IsoDates) {
  struct {
    const char* text;
    double serial;
  } const cases[] = {{"2023-01-15", 44941},       {"1900-01-01", 1},       {"1900-02-28", 59},
                     {"1900-03-01", 61},          {"1899-12-31", 0},       {"12:00:00", 0.5},
                     {"2023-01-15T06:00:00Z", 44941.25}, {"2023-01-15T18:00:00.5+02:00", 44941.75 + 0.5 / 86400}};
  for (const auto& c : cases) {
    double serial = -1;
    EXPECT_TRUE(IsoDateToSerial(c.text, serial)) << c.text;
    EXPECT_DOUBLE_EQ(serial, c.serial) << c.text;
  }
  double serial = 0;
  for (const char* bad : {"", "2023-13-01", "yesterday", "2023-01-15T", "12:00:00x"})
    EXPECT_FALSE(IsoDateToSerial(bad, serial)) << bad;
}

}  // namespace
}  // namespace gridport
