// The direct scan of common tags must build exactly the tree the general rules build: every
// input is parsed both ways and the traces of elements, values, texts, depths and errors compared.
#include <gtest/gtest.h>

#include "tests/openxml/corpus_parts.h"
#include "tests/openxml/xml_trace_reader.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "openxml/xml_excel_reader.h"
#include "openxml/zip_xls_archive.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

using test::TTraceReader;

void ExpectSameTrees(std::string_view name, const std::string& xml) {
  TTraceReader direct, general;
  // A copy of exactly the input's size, so that reads past the end are caught by the sanitizer.
  std::unique_ptr<char[]> bytes(new char[xml.size() + 1]);
  std::copy(xml.begin(), xml.end(), bytes.get());
  std::string expected = general.Parse(name, bytes.get(), xml.size(), false);
  EXPECT_EQ(direct.Parse(name, bytes.get(), xml.size(), true), expected) << name << ": " << xml;
}

TEST(XMLDirectScan, BuildsTheTreeOfTheGeneralRules) {
  const std::string long_name(40, 'n');
  const std::string long_value(70, 'v');
  const char* const cases[] = {
      "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<worksheet><sheetData><row r=\"1\" spans=\"1:2\">"
      "<c r=\"A1\" s=\"3\" t=\"s\"><v>12</v></c><c r=\"B1\"><f>SUM(A1)</f><v>1.5</v></c></row>"
      "</sheetData></worksheet>",
      // Text around children, spaces, and the text after an end tag.
      "<si>  a b  <t> x </t> tail <t>y</t>\n</si>",
      "<si><t xml:space=\"preserve\"> p </t><r><t>  q</t></r><x> z </x></si>",
      // The preserve flag stays with the last attribute read, across tags.
      "<a xml:space=\"preserve\"><b> kept </b><c s=\"1\"> trimmed </c></a>",
      // Shapes the direct scan leaves to the general rules.
      "<c r='A1' s=\"2\"/><c r=\"A2\"s=\"1\"/><c r=A3 /><c  r = \"A4\" /><c r=\"A5\" / >",
      "<a/ b=\"1\"><b x=\"1/2\" y=\"a>b\"/></a ><c r=\"1\"></c r=\"2\"><d></ d>",
      "<!-- c r=\"A1\" --><![CDATA[<c>]]><!DOCTYPE x><?pi x?><c r=\"A1\"/>",
      "<c r=\"A1\"\t\ns=\"1\"\r\n>\t<v>\r\n1\r\n</v></c>",
      // Cells read byte for byte: one-letter values (known and not), empty cells, values with
      // spaces, cells with more than a value, and the preserve flag reset by a cell's values.
      "<row><c r=\"A1\" x=\"1\" s=\"2\"><v>1</v></c><c r=\"B1\" s=\"1\"/><c/><c><v> 2 </v></c>"
      "<c t=\"s\"><v>3</v><v>4</v></c><c r=\"C1\"><v>5</v>x</c><c r=\"D1\"><v/></c><c r=\"E1\"><v>6</v ></c >"
      "<c r=\"F1\" r=\"G1\"><v>7</v></c></row>",
      "<t xml:space=\"preserve\"><c> a </c><c r=\"A1\"> b <v> c </v></c></t><cc r=\"1\"/><c:x r=\"1\"/>",
      // Rows read with their names known: long and unknown attribute names, empty rows, and
      // the shapes left to the general rules (xml:space, a repeated value, other spacing).
      "<sheetData><row r=\"1\" spans=\"1:3\" ht=\"15\" x14ac:dyDescent=\"0.25\" zz=\"9\"><c r=\"A1\"/></row>"
      "<row/><row r=\"3\"/><row></row><row r=\"4\" /><row  r=\"5\"></row><row\tr=\"6\"></row>"
      "<row r=\"7\" xml:space=\"preserve\"><c> x </c></row><row r=\"8\" r=\"9\"></row></sheetData>",
      "<t xml:space=\"preserve\"><row r=\"1\"> a </row><row> b </row></t><rows r=\"1\"/><row:x r=\"1\"/><x:row r=\"2\"/>",
      "<row r=\"1\" spans=\"1",
      // Duplicate values, unknown elements with known values, names with prefixes.
      "<c r=\"A1\" r=\"A2\"/>",
      "<c r=\"A1\" r=\"A2\"",  // the part ends inside the tag: no message
      "<c r=\"A1\" r=\"A2\" x='1'>",
      "<a><x:c r=\"A1\"/><unknown r=\"A1\" s=\"2\"><v>3</v></unknown><c/></a>",
      // Errors and truncation at every kind of place.
      "</c>",
      "<a></a></b>",
      "<c r=\"A1\"",
      "<c r=\"A1",
      "<c r=",
      "<c",
      "<",
      "<a><b>text",
      "<a></",
      "<a></a",
      "",
  };
  for (const char* xml : cases) ExpectSameTrees("case", xml);
  // Names, values and texts longer than one 16-byte look, and tags ending near the buffer's end.
  ExpectSameTrees("long", "<" + long_name + " " + long_name + "=\"" + long_value + "\">" + long_value + "</" +
                              long_name + "><sheetFormatPr defaultRowHeight=\"15\" zoomScaleSheetLayoutView=\"" +
                              long_value + "\"/>");
  // Found by the fuzz target: a repeated value in a tag that the part's end cuts off.
  std::ifstream file(std::string(GRIDPORT_TEST_DATA) + "/openxml/xml_duplicate_value_in_cut_tag.xml", std::ios::binary);
  const std::string found((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(found.empty());
  for (std::size_t size : {found.size(), found.size() / 2}) ExpectSameTrees("fuzz", found.substr(0, size));
  for (std::size_t cut = 0; cut < 40; ++cut) {
    std::string xml = "<row r=\"1\"><c r=\"AB12\" s=\"1\"><v>-0.25</v></c></row>";
    ExpectSameTrees("cut", xml.substr(0, xml.size() - std::min(cut, xml.size())));
  }
}


TEST(XMLDirectScan, CorpusPartsGiveTheSameTrees) {
  const std::filesystem::path files = test::CorpusFiles();
  if (!std::filesystem::is_directory(files)) GTEST_SKIP() << "no corpus at " << files;
  int parts = 0;
  test::ForEachCorpusXMLPart(files, [&](const test::TCorpusPart& part) {
    // The variety is in the first part of a large sheet; the rest repeats it.
    ExpectSameTrees(part.Package + ":" + part.Name,
                    std::string(reinterpret_cast<const char*>(part.Bytes.Data()),
                                std::min<std::size_t>(part.Bytes.Size(), 64 << 10)));
    ++parts;
  });
  EXPECT_GT(parts, 0);
}

}  // namespace
}  // namespace gridport
