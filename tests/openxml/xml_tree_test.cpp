// The element tree: ids, values, typed accessors, freeing, iteration and serialisation.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "openxml/xml_digits.h"
#include "openxml/xml_excel_reader.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

class TTestReader : public TExcelXMLReader {
 public:
  using TExcelXMLReader::CellRefOf;
  using TExcelXMLReader::FloatOf;
  using TExcelXMLReader::SetAllTagEvents;
  using TExcelXMLReader::SetTagEvents;
  std::function<void(TExXMLTag&)> begun = [](TExXMLTag&) {};
  std::function<bool(TExXMLTag&)> ended = [](TExXMLTag&) { return false; };
  void Parse(const std::string& xml) { ParsePart("test.xml", xml.data(), xml.size()); }

 protected:
  void TagBegun(int) override { begun(*CurrentElement()); }
  bool TagEnded(int) override { return ended(*CurrentElement()); }
};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EXLSError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(XMLTree, IdsForKnownAndPrefixedNames) {
  TTestReader r;
  std::string seen;
  r.ended = [&](TExXMLTag& t) {
    seen += std::string(t.Name()) + "=" + std::to_string(t.Id()) + " ";
    return false;
  };
  r.Parse("<x:worksheet><x:row/><c/><Relationship/><relationship/><sheetData/></x:worksheet>");
  EXPECT_EQ(seen, "x:row=" + std::to_string(xtRow) + " c=9 Relationship=" +
                      std::to_string(xtRelationship) + " relationship=999 sheetData=" +
                      std::to_string(xtSheetData) + " x:worksheet=" + std::to_string(xtWorksheet) + " ");
  EXPECT_EQ(XMLAttrIdOf("r:id"), xaRId);
  EXPECT_EQ(XMLAttrIdOf("id"), xaId);
  EXPECT_EQ(XMLAttrIdOf("Id"), xaRelId);
  EXPECT_EQ(XMLAttrIdOf("x:id"), -1);  // attribute names stay literal
  EXPECT_EQ(XMLAttrIdOf("zoomScaleSheetLayoutView"), 198);
  EXPECT_EQ(XMLTagIdOf("xf"), 161);
  for (int i = 0; i < XMLTagCount; ++i) EXPECT_EQ(XMLTagIdOf(XMLTagNames[i]), i);
  for (int i = 0; i < XMLAttrCount; ++i) EXPECT_EQ(XMLAttrIdOf(XMLAttrNames[i]), i);
}

TEST(XMLTree, TypedAccessors) {
  TTestReader r;
  bool checked = false;
  r.ended = [&](TExXMLTag& t) {
    if (t.Id() != xtC) return false;
    EXPECT_TRUE(t.Bool(xaHidden, false));
    EXPECT_FALSE(t.Bool(xaCollapsed, true));  // "true" is not "1"
    EXPECT_TRUE(t.Bool(xaLocked, true));      // absent: default
    EXPECT_EQ(t.Int(xaS, 7), 12);
    EXPECT_EQ(t.Int(xaT, 7), 0);   // present, not a number
    EXPECT_EQ(t.Int(xaMin, 7), 7);  // absent
    EXPECT_DOUBLE_EQ(t.Float(xaHt, 1), 15.75);
    EXPECT_DOUBLE_EQ(t.Float(xaWidth, 2.5), 2.5);
    EXPECT_EQ(t.String(xaT), "x1");
    EXPECT_EQ(t.DecodedString(xaName), u"a&b");
    EXPECT_EQ(t.Enumerated(xaHorizontal, 9, {"general", "left", "center"}), 2);
    EXPECT_EQ(t.Enumerated(xaVertical, 9, {"top"}), 9);
    EXPECT_EQ(t.Hex(xaRgb), 0xFF1F497Du);
    TXMLCellRef ref = t.CellRef(xaR);
    EXPECT_EQ(ref.Col, 27);
    EXPECT_EQ(ref.Row, 11);
    TXMLAreaRef area = t.AreaRef(xaRef);
    EXPECT_EQ(area.First.Col, 0);
    EXPECT_EQ(area.Last.Col, 2);
    EXPECT_EQ(area.Last.Row, 2);
    TXMLAreaRef single = t.AreaRef(xaSqref);
    EXPECT_EQ(single.First.Col, single.Last.Col);
    EXPECT_EQ(single.Last.Row, 9);
    EXPECT_EQ(ErrorOf([&] { t.RequiredString(xaMax); }), "Required value missing: max");
    EXPECT_EQ(ErrorOf([&] { t.HasValue(199); }), "XML value id out of range");
    EXPECT_EQ(t.Child(xtV)->TextFloat(), 2.5);
    EXPECT_EQ(t.Child(xtF), nullptr);
    EXPECT_EQ(t.ChildValue(xtV, xaT), nullptr);
    EXPECT_EQ(t.RequiredChildValue(xtSi, xaT).Raw, "inline");
    EXPECT_EQ(ErrorOf([&] { t.RequiredChildValue(xtV, xaVal); }), "Tag value v:val missing");
    EXPECT_TRUE(t.ChildFlag(xtB));
    EXPECT_FALSE(t.ChildFlag(xtI));
    EXPECT_TRUE(t.ChildFlag(xtU));
    EXPECT_FALSE(t.ChildFlag(xtStrike));
    checked = true;
    return false;
  };
  r.Parse(
      "<c hidden=\"1\" collapsed=\"true\" s=\"12\" t=\"x1\" ht=\"15.75\" name=\"a&amp;b\" "
      "horizontal=\"center\" vertical=\"middle\" rgb=\"FF1F-497D\" r=\"AB12\" ref=\"A1:C3\" sqref=\"D10\">"
      "<v>2.5</v><si/><si t=\"inline\"/><b/><u val=\"1\"/><strike val=\"0\"/></c>");
  EXPECT_TRUE(checked);
}

TEST(XMLTree, CellReferences) {
  struct {
    const char* ref;
    int col, row;
  } const cases[] = {{"A1", 0, 0}, {"Z9", 25, 8}, {"AA27", 26, 26}, {"XFD1048576", 16383, 1048575}};
  for (const auto& c : cases) {
    TXMLCellRef ref = ParseXMLCellRef(c.ref);
    EXPECT_EQ(ref.Col, c.col) << c.ref;
    EXPECT_EQ(ref.Row, c.row) << c.ref;
  }
  EXPECT_EQ(ErrorOf([] { ParseXMLCellRef("B"); }), "'' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { ParseXMLCellRef("A99999999999"); }),
            "'99999999999' is not a valid integer value");
}

// How a reference reads, written plainly: the trailing digits are the row (1 to 10 of them, at
// most 2147483647), the capitals right before them the column; bytes before those are ignored.
bool PlainCellRef(std::string_view ref, TXMLCellRef& out) {
  std::size_t digits = ref.size();
  while (digits > 0 && ref[digits - 1] >= '0' && ref[digits - 1] <= '9') --digits;
  if (digits == ref.size() || ref.size() - digits > 10) return false;
  long long row = 0;
  for (std::size_t i = digits; i < ref.size(); ++i) row = row * 10 + (ref[i] - '0');
  if (row > 2147483647) return false;
  std::size_t letters = digits;
  while (letters > 0 && ref[letters - 1] >= 'A' && ref[letters - 1] <= 'Z') --letters;
  long long col = 0;
  for (std::size_t i = letters; i < digits; ++i) col = std::min(col * 26 + (ref[i] - 'A' + 1), 2147483647LL);
  out = {static_cast<std::int32_t>(col - 1), static_cast<std::int32_t>(row - 1)};
  return true;
}

// Random references, well-formed and not, each parsed from a heap block of exactly its size
// (AddressSanitizer reports a read past it), against the plain reading.
TEST(XMLTree, CellReferencesMatchPlainReading) {
  std::mt19937_64 random(1048576);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const char junk[] = {'@', '[', 'a', 'z', '$', ':', ' ', '/', '\0', '\xC1', '0', 'A', 'Z'};
  for (int n = 0; n < 200000; ++n) {
    std::string ref;
    const std::size_t letters = pick(8) == 0 ? pick(6) : 1 + pick(3);
    for (std::size_t i = 0; i < letters; ++i) ref += static_cast<char>('A' + pick(26));
    const std::size_t digits = pick(8) == 0 ? pick(13) : 1 + pick(7);
    for (std::size_t i = 0; i < digits; ++i) ref += static_cast<char>('0' + pick(10));
    if (pick(5) == 0) ref.insert(pick(ref.size() + 1), 1, junk[pick(sizeof junk)]);
    std::unique_ptr<char[]> exact(new char[ref.size()]);
    std::memcpy(exact.get(), ref.data(), ref.size());
    TXMLCellRef expected;
    // The word-wise reading gets digits after the reference that would continue its row.
    const std::string followed = ref + std::string(kXMLWordReadSize, '7');
    const std::string_view word_ref = std::string_view(followed).substr(0, ref.size());
    if (PlainCellRef(ref, expected)) {
      for (const TXMLCellRef got : {ParseXMLCellRef({exact.get(), ref.size()}), ParseXMLCellRefWord(word_ref)}) {
        ASSERT_EQ(got.Col, expected.Col) << ref;
        ASSERT_EQ(got.Row, expected.Row) << ref;
      }
    } else {
      // The message names the trailing digits.
      std::size_t digits_at = ref.size();
      while (digits_at > 0 && ref[digits_at - 1] >= '0' && ref[digits_at - 1] <= '9') --digits_at;
      const std::string message = "'" + ref.substr(digits_at) + "' is not a valid integer value";
      ASSERT_EQ(ErrorOf([&] { ParseXMLCellRef({exact.get(), ref.size()}); }), message) << ref;
      ASSERT_EQ(ErrorOf([&] { ParseXMLCellRefWord(word_ref); }), message) << ref;
    }
  }
}

// Only the callbacks asked for come; an end not reported keeps the siblings.
TEST(XMLTree, TagEventsLimitTheCallbacks) {
  TTestReader r;
  std::string seen;
  r.begun = [&](TExXMLTag& t) { seen += "+" + std::string(t.Name()) + " "; };
  r.ended = [&](TExXMLTag& t) {
    seen += "-" + std::string(t.Name());
    if (t.Id() == xtC) seen += t.Child(xtV) != nullptr ? "(v)" : "()";
    if (t.Id() == xtUnknown) seen += "(" + std::string(t.Parent()->FirstChild()->Name()) + ")";
    seen += " ";
    return t.Id() == xtC;
  };
  r.SetAllTagEvents(TExcelXMLReader::teNone);
  r.SetTagEvents(xtRow, TExcelXMLReader::teBegun);
  r.SetTagEvents(xtC, TExcelXMLReader::teEnded);
  r.SetTagEvents(xtUnknown, TExcelXMLReader::teBoth);  // never a TagBegun
  r.Parse("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\" t=\"s\"><v>2</v></c>"
          "<x/></row></sheetData>");
  EXPECT_EQ(seen, "+row -c(v) -c(v) -x(x) ");
}

// The word-wise reads of references and numbers give what the byte loops give, and are taken
// only where the part holds the bytes they read: each part lies in a heap block of exactly its
// size (AddressSanitizer reports a read past it), and the parts end right after a cell's
// reference and right after a value. A value the general scan copies (the stray "/") is read
// from the copy.
TEST(XMLTree, WordReadsOfCellsStayInThePart) {
  std::string body = "<row>";
  const char* const values[] = {"1", "-0", "12345678", "123456789", "2.5", "-0.125", "1234567.12345678",
                                "1e3", ".5", "7.", "x", "99999999.5", "0.000000001", "3"};
  const char* const refs[] = {"A1", "XFD1048576", "Z9", "AB12", "AAA1234567", "B12345678", "A7", "C3"};
  std::size_t i = 0;
  for (const char* v : values) body += "<c r=\"" + std::string(refs[i++ % 8]) + "\"><v>" + v + "</v></c>";
  body += "<c r=\"D4\" / s=\"1\"><v>4.25</v></c>";
  TTestReader r;
  int refs_read = 0, values_read = 0;
  r.begun = [&](TExXMLTag& t) {
    if (t.Id() == xtC) {
      const std::string_view ref = t.RequiredString(xaR);
      const std::string loop_error = ErrorOf([&] { ParseXMLCellRef(ref); });
      if (loop_error == "(no error)") {
        const TXMLCellRef word = r.CellRefOf(ref), loop = ParseXMLCellRef(ref);
        EXPECT_EQ(word.Col, loop.Col) << ref;
        EXPECT_EQ(word.Row, loop.Row) << ref;
      } else {
        EXPECT_EQ(ErrorOf([&] { r.CellRefOf(ref); }), loop_error) << ref;
      }
      ++refs_read;
    } else if (t.Id() == xtV) {
      double word = -1, loop = -1;
      EXPECT_EQ(r.FloatOf(t.RawText(), word), ParseXMLFloat(t.RawText(), loop)) << t.RawText();
      EXPECT_EQ(std::memcmp(&word, &loop, 8), 0) << t.RawText();
      ++values_read;
    }
  };
  for (const std::string& xml : {body + "<c r=\"AB12\">", body + "<c r=\"E5\"><v>-1234567.5"}) {
    std::unique_ptr<char[]> exact(new char[xml.size()]);
    std::memcpy(exact.get(), xml.data(), xml.size());
    r.ParsePart("test.xml", exact.get(), xml.size());
  }
  EXPECT_EQ(refs_read, 2 * 16);
  EXPECT_EQ(values_read, 2 * 15 + 1);
}

TEST(XMLTree, Messages) {
  TTestReader r;
  EXPECT_EQ(ErrorOf([&] { r.Parse("<c r=\"A1\" s=\"1\" r=\"B2\"/>"); }),
            "Duplicate tag value: r; Doc=test.xml; Tag=c");
  EXPECT_EQ(ErrorOf([&] { r.Parse("<a></a></a>"); }), "XML level < 0");
  // After a failed part the next one starts again at the root.
  r.Parse("<sst/>");
  EXPECT_EQ(r.CurrentElement(), &r.Root());
  r.ended = [](TExXMLTag& t) {
    if (t.Id() != xtNumFmts) return false;
    t.IterateChildren(xtNumFmt);
    while (t.NextChild() != nullptr) {
    }
    return false;
  };
  EXPECT_EQ(ErrorOf([&] { r.Parse("<numFmts><numFmt/><font/></numFmts>"); }),
            "Unexpected tag " + std::to_string(xtFont) + ", font");
}

TEST(XMLTree, UnknownElementDropsItsValues) {
  TTestReader r;
  std::string seen;
  r.begun = [&](TExXMLTag& t) { seen += std::string(t.Name()) + (t.HasValue(xaR) ? "+r " : " "); };
  r.Parse("<row><zz r=\"5\"/><c/></row>");
  EXPECT_EQ(seen, "row c ");
}

TEST(XMLTree, IterationFreesChildrenAndSiblingFreeingBoundsTheArena) {
  TTestReader r;
  int rows = 0;
  std::string cells;
  r.ended = [&](TExXMLTag& t) {
    if (t.Id() == xtC) return true;
    if (t.Id() == xtRow) {
      ++rows;
      EXPECT_FALSE(t.HasChildren());  // the cells were freed at their ends
      EXPECT_EQ(t.Parent()->FirstChild(), &t);  // earlier rows were freed
      return true;
    }
    if (t.Id() == xtSheetData) {
      EXPECT_EQ(t.FirstChild(), nullptr);
      return false;
    }
    if (t.Id() == xtFonts) {
      t.IterateChildren(-1);
      while (TExXMLTag* f = t.NextChild()) cells += std::string(f->Name()) + " ";
      EXPECT_EQ(t.FirstChild(), nullptr);
      EXPECT_EQ(t.NextChild(), nullptr);
    }
    return false;
  };
  std::string xml = "<worksheet><fonts><font/><zz/><b/></fonts><sheetData>";
  for (int i = 0; i < 20000; ++i) xml += "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row>";
  xml += "</sheetData></worksheet>";
  r.Parse(xml);
  EXPECT_EQ(rows, 20000);
  EXPECT_EQ(cells, "font zz b ");
}

TEST(XMLTree, Serialisation) {
  TTestReader r;
  std::string out;
  r.ended = [&](TExXMLTag& t) {
    if (t.Id() == xtSheetViews) out = t.Serialise();
    return false;
  };
  r.Parse(
      "<sheetViews><sheetView workbookViewId=\"0\" tabSelected=\"1\"><selection activeCell=\"B2\" "
      "sqref=\"B2\"/><zz q=\"1\">t</zz></sheetView><pane/></sheetViews>");
  EXPECT_EQ(out,
            "<sheetViews>"
            "<sheetView tabSelected=\"1\" workbookViewId=\"0\" >"
            "<selection activeCell=\"B2\" sqref=\"B2\" />\r"
            "<zz>t</zz>\r"
            "</sheetView>\r"
            "<pane/>\r"
            "</sheetViews>\r");
  EXPECT_EQ(TExXMLTag::Marker(xtSheetData), "<sheetData />");
  TXLSSavedTags saved;
  SaveMarker(saved, xtCols);
  ASSERT_EQ(saved.Count(), 1u);
  EXPECT_EQ(saved[0].TagId, xtCols);
  EXPECT_EQ(saved[0].Text, "<cols />");
}

// Deep nesting neither overflows the stack when serialised nor grows without bound.
TEST(XMLTree, DeepNesting) {
  TTestReader r;
  std::size_t size = 0;
  r.ended = [&](TExXMLTag& t) {
    if (t.Id() == xtExtLst) size = t.Serialise().size();
    return false;
  };
  std::string xml = "<extLst>";
  for (int i = 0; i < 200000; ++i) xml += "<a>";
  r.Parse(xml + "</extLst>");
  EXPECT_EQ(size, 0u);  // the end tag closed the innermost element, extLst never ended
  for (int i = 0; i < 200000; ++i) xml += "</a>";
  r.Parse(xml + "</extLst>");
  EXPECT_EQ(size, 18 + 199999 * 8 + 5u);
}

}  // namespace
}  // namespace gridport
