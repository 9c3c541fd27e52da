// Relationship lists: the type split, the workbook kinds and filter, ordering and lookup.
#include <gtest/gtest.h>

#include "workbook/package_relations.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

TEST(XMLRelations, TypeSplit) {
  struct {
    std::string type, local;
    int ns;
  } const cases[] = {
      {std::string(kRelNamespaceOfficeDocument) + "worksheet", "worksheet", rnOfficeDocument},
      {std::string(kRelNamespaceMicrosoft) + "vbaProject", "vbaProject", rnMicrosoft},
      {"http://example.com/x/worksheet", "http://example.com/x/worksheet", rnNone},
      {"worksheet", "worksheet", rnNone},
      {"/worksheet", "/worksheet", rnNone},
      {"http://schemas.openxmlformats.org/officeDocument/2006/relationships", 
       "http://schemas.openxmlformats.org/officeDocument/2006/relationships", rnNone},
  };
  for (const auto& c : cases) {
    std::string local;
    std::uint8_t ns = 9;
    SplitRelationType(c.type, local, ns);
    EXPECT_EQ(local, c.local) << c.type;
    EXPECT_EQ(ns, c.ns) << c.type;
  }
}

TEST(XMLRelations, WorkbookKindsAndFilter) {
  TXMLRelationsWorkbook list;
  const std::string ns(kRelNamespaceOfficeDocument);
  EXPECT_FALSE(list.AcceptsType(ns + "worksheet"));
  EXPECT_FALSE(list.AcceptsType(ns + "sharedStrings"));
  EXPECT_FALSE(list.AcceptsType(ns + "styles"));
  EXPECT_FALSE(list.AcceptsType(ns + "calcChain"));
  EXPECT_FALSE(list.AcceptsType("theme"));  // no slash
  EXPECT_TRUE(list.AcceptsType(ns + "theme"));
  EXPECT_TRUE(TXMLRelations().AcceptsType("worksheet"));
  struct {
    std::string type;
    int kind;
  } const cases[] = {
      {ns + "theme", 12},
      {ns + "externalLink", 17},
      {std::string(kRelNamespaceMicrosoft) + "vbaProject", 20},
      {ns + "xlIntlMacrosheet", 22},
      {"http://schemas.microsoft.com/office/2017/10/relationships/person", 0},  // newer types kept
  };
  for (const auto& c : cases) {
    TXMLRelation& r = list.Add("rId" + std::to_string(list.Count() + 1));
    list.SetType(r, c.type);
    EXPECT_EQ(r.WorkbookKind, c.kind) << c.type;
  }
}

TEST(XMLRelations, OrderedAndCollectingModes) {
  TXMLRelations list;
  list.SetCollecting();
  list.Add("rId10").Target = "ten";
  list.Add("rId2").Target = "two";
  list.Add("rId2").Target = "again";  // collecting mode takes what comes
  list.SetOrdered();
  EXPECT_EQ(list[0].Id, "rId10");
  EXPECT_EQ(list[0].NumericId, 10);
  EXPECT_EQ(list.Find("rId2", true)->Target, "two");
  EXPECT_EQ(list.Find("rId3", false), nullptr);
  try {
    list.Find("rId3", true);
    FAIL();
  } catch (const EXLSError& e) {
    EXPECT_STREQ(e.what(), "Required relationship missing: rId3");
  }
  try {
    list.Add("rId10");
    FAIL();
  } catch (const EXLSError& e) {
    EXPECT_STREQ(e.what(), "Duplicate relation id");
  }
  list.Add("rId1");
  EXPECT_EQ(list[0].Id, "rId1");
  EXPECT_EQ(list.Add("xy").NumericId, 0);
  EXPECT_EQ(list.Add("rIdq").NumericId, 0);
  EXPECT_EQ(list.Add("rId+7").NumericId, 7);
  EXPECT_EQ(list.Add("rId+-1").NumericId, 0);  // a sign after the "+" is no number

  TXMLExtRelations ext;
  ext.Append(list.FindShared("rId2", true));
  ASSERT_EQ(ext.Count(), 1u);
  EXPECT_EQ(&ext[0], list.Find("rId2", true));
}

}  // namespace
}  // namespace gridport
