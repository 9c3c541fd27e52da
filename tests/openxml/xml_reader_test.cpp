// The tokenizer's rules: what each input reports through the callbacks.
#include <gtest/gtest.h>

#include <string>

#include "openxml/xml_reader.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

// Records every callback as one line: S name [text] (empty flag), E name, A name=value.
class TRecorder : public TXMLStreamReader {
 public:
  std::string log;

 protected:
  void TagStart(std::string_view name, std::string_view text, bool empty) override {
    log += "S " + std::string(name) + " [" + std::string(text) + "]" + (empty ? " e" : "") + "\n";
  }
  void TagEnd(std::string_view name, bool empty) override {
    log += "E " + std::string(name) + (empty ? " e" : "") + "\n";
  }
  void TagAttribute(std::string_view name, std::string_view value) override {
    log += "A " + std::string(name) + "=" + std::string(value) + "\n";
    TXMLStreamReader::TagAttribute(name, value);
  }
};

std::string Tokenize(const std::string& xml) {
  TRecorder r;
  r.SetSource(xml);
  while (r.ReadNext()) {
  }
  return r.log;
}

struct TCase {
  const char* what;
  std::string xml;
  std::string log;
};

TEST(XMLReader, ReportsTokensByTheRules) {
  const TCase cases[] = {
      {"BOM and declaration report nothing", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>x</a>",
       "S a [x]\nE a\n"},
      {"self-closed tag, quoted space, single quotes", "<a x=\"1 2\" y='3'/>",
       "A x=1 2\nA y=3\nS a [] e\nE a e\n"},
      {"end tag name not compared", "<a></b>", "S a []\nE b\n"},
      {"text trimmed without preserve", "<t>  hi  </t>", "S t [hi]\nE t\n"},
      {"text kept with preserve", "<t xml:space=\"preserve\">  hi  </t>",
       "A xml:space=preserve\nS t [  hi  ]\nE t\n"},
      {"preserve flag persists into the next tag", "<t xml:space=\"preserve\"> a </t><t> b </t>",
       "A xml:space=preserve\nS t [ a ]\nE t\nS t [ b ]\nE t\n"},
      {"a later attribute clears preserve", "<t xml:space=\"preserve\" z=\"1\"> a </t>",
       "A xml:space=preserve\nA z=1\nS t [a]\nE t\n"},
      {"> inside double quotes does not end the tag", "<a x=\"p>q\">t</a>", "A x=p>q\nS a [t]\nE a\n"},
      {"slash inside quotes is kept", "<r Target=\"a/b.xml\"/>", "A Target=a/b.xml\nS r [] e\nE r e\n"},
      {"slash outside quotes is dropped", "<a x=b/c>t</a>", "A x=bc\nS a [t]\nE a\n"},
      {"space after the slash makes a start tag", "<a / >t</a>", "S a [t]\nE a\n"},
      {"pieces without = or value are ignored", "<a b c= d=\"\" e=5>",
       "A d=\nA e=5\nS a []\n"},
      {"tabs and line breaks separate attributes", "<c\n\tr=\"A1\"\r\ns=\"2\"><v>1</v></c>",
       "A r=A1\nA s=2\nS c []\nS v [1]\nE v\nE c\n"},
      {"text after an end tag is dropped", "<a><b/>mid</a>tail", "S a []\nS b [mid] e\nE b e\nE a\n"},
      {"comment skipped whole", "<a><!-- <b> x > y --><c/></a>", "S a []\nS c [] e\nE c e\nE a\n"},
      {"processing instruction and CDATA skipped", "<?pi x?><a><![CDATA[<z>]]></a>", "S a []\nE a\n"},
      {"source ending inside a tag ends the parse", "<a><b x=\"1", "S a []\n"},
      {"source ending after <", "<a>x<", "S a [x]\n"},
      {"prefixed names reported as written", "<x:row r=\"1\"></x:row>", "A r=1\nS x:row []\nE x:row\n"},
  };
  for (const TCase& c : cases) EXPECT_EQ(Tokenize(c.xml), c.log) << c.what;
}

TEST(XMLReader, KindsDepthAndValueList) {
  TRecorder r;
  std::string xml = "<?xml version=\"1.0\"?><a k=\"v\" m='n'><b/></a>";
  r.SetSource(xml);
  ASSERT_TRUE(r.ReadNext());
  EXPECT_EQ(r.LastKind(), TXMLReader::tkDeclaration);
  ASSERT_TRUE(r.ReadNext());
  EXPECT_EQ(r.LastKind(), TXMLReader::tkStartTag);
  EXPECT_EQ(r.Depth(), 1);
  EXPECT_EQ(r.Values(), (std::vector<std::string>{"k=v", "m=n"}));
  ASSERT_TRUE(r.ReadNext());
  EXPECT_EQ(r.LastKind(), TXMLReader::tkEmptyTag);
  EXPECT_EQ(r.Depth(), 1);
  EXPECT_TRUE(r.Values().empty());
  ASSERT_TRUE(r.ReadNext());
  EXPECT_EQ(r.LastKind(), TXMLReader::tkEndTag);
  EXPECT_EQ(r.Depth(), 0);
  EXPECT_FALSE(r.ReadNext());
  EXPECT_EQ(r.LastKind(), TXMLReader::tkNone);
}

TEST(XMLReader, EndTagAtDepthZeroFails) {
  TRecorder r;
  r.SetSource(std::string_view("<a></a></a>"));
  try {
    while (r.ReadNext()) {
    }
    FAIL() << "no exception";
  } catch (const EXLSError& e) {
    EXPECT_STREQ(e.what(), "XML level < 0");
  }
}

// Tags far longer than 65535 bytes, with and without slashes to drop, are read whole.
TEST(XMLReader, LongTagsAreReadWhole) {
  std::string value(200000, 'x');
  value[100000] = '/';
  EXPECT_EQ(Tokenize("<a v=\"" + value + "\"/>"), "A v=" + value + "\nS a [] e\nE a e\n");
  std::string unquoted(100000, 'y');
  EXPECT_EQ(Tokenize("<a v=" + unquoted + "/" + unquoted + ">"), "A v=" + unquoted + unquoted + "\nS a []\n");
}

}  // namespace
}  // namespace gridport
