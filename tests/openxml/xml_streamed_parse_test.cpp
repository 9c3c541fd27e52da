// A part parsed while its bytes arrive must give exactly the elements, values, texts, depths
// and errors of the whole part, wherever the ready bytes end: inside a comment, a CDATA
// section, a quoted "<", a start tag or an end tag.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "openxml/zip_xls_archive.h"
#include "tests/openxml/chunked_feed.h"
#include "tests/openxml/corpus_parts.h"
#include "tests/openxml/xml_trace_reader.h"

namespace gridport {
namespace {

using test::TChunkedFeed;
using test::TTraceReader;

// Streamed with every chunk size from 1 to 7 bytes, by the direct scan and by the general
// rules, against the whole part read the same way.
void ExpectStreamedAsWhole(const std::string& name, const std::string& xml) {
  for (bool direct : {true, false}) {
    TTraceReader whole;
    const std::string expected = whole.Parse(name, xml.data(), xml.size(), direct);
    for (std::size_t chunk = 1; chunk <= 7; ++chunk) {
      TTraceReader streamed;
      TChunkedFeed feed(xml.data(), xml.size(), chunk);
      EXPECT_EQ(streamed.Parse(name, feed, direct), expected)
          << name << " chunk " << chunk << " direct " << direct << ": " << xml;
    }
  }
}

TEST(XMLStreamedParse, AwkwardInputsGiveTheTreeOfTheWholePart) {
  const char* const cases[] = {
      "\xEF\xBB\xBF<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<worksheet><sheetData><row r=\"1\">"
      "<c r=\"A1\" s=\"3\" t=\"s\"><v>12</v></c><c r=\"B1\"><f>SUM(A1)</f><v>1.5</v></c></row>"
      "</sheetData></worksheet>",
      // "<" inside markup that the end may fall on.
      "<a><!-- <c r=\"A1\"/> a < b --><c r=\"A2\"/><!--<--><!----></a>",
      "<a><![CDATA[<c r=\"A1\"> <<]]><c r=\"A2\"/><![CDATA[]]></a>",
      "<a><?pi <c r=\"A1\"/> ?><c r=\"A2\"/></a>",
      "<!DOCTYPE x [ <!ENTITY e \"<\"> ]><a><c r=\"A1\"/></a>",
      "<a><c r=\"A<1\" s=\"1\"/><c r='<' t=\"<<\">x</c><d v=\"a>b<c\"/></a>",
      // Tags the direct scan leaves to the general rules, and texts with spaces.
      "<a xml:space=\"preserve\"><b> kept </b><c s=\"1\"> trimmed </c><t> t </t></a>",
      "<a/ b=\"1\"><b x=\"1/2\" y=\"a>b\"/></a ><c r=\"1\"></c r=\"2\"><d></ d>",
      "<si>  a b  <t> x </t> tail <t>y</t>\n</si><si><r><t xml:space=\"preserve\"> p </t></r></si>",
      // Errors, and parts that end inside markup.
      "<a><c r=\"A1\"/></a></a><b/>",
      "<a><c r=\"A1\" r=\"A2\"/></a>",
      "<a><c r=\"A1\" r=\"A2\"",
      "<a><!-- open",
      "<a><![CDATA[ <open",
      "<a><c r=\"A1",
      "<a></",
      "<",
      "",
  };
  for (const char* xml : cases) ExpectStreamedAsWhole("case", xml);
}

TEST(XMLStreamedParse, LongTokensAreScannedABoundedNumberOfTimes) {
  // A large comment full of "<": the end falls inside it again and again. Reading it again
  // from its start on every move of the end would scan it tens of thousands of times (minutes);
  // the end has to move on as far again each time, so it is scanned a few dozen times.
  std::string comment;
  while (comment.size() < (1u << 20)) comment += "<c r=\"A1\"/>";
  const std::string xml = "<a><!--" + comment + "--><c r=\"B2\"/>" + "<b t=\"" + comment + "\"/></a>";
  TTraceReader whole;
  const std::string expected = whole.Parse("long", xml.data(), xml.size(), true);
  TTraceReader streamed;
  TChunkedFeed feed(xml.data(), xml.size(), 64);
  EXPECT_EQ(streamed.Parse("long", feed, true), expected);
  EXPECT_LT(feed.Waits(), 200u);
}

TEST(XMLStreamedParse, ProducerErrorIsRaisedWhenTheMissingBytesAreNeeded) {
  std::string xml = "<worksheet><sheetData>";
  for (int r = 1; r <= 50; ++r)
    xml += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" + std::to_string(r) +
           "</v></c></row>";
  xml += "</sheetData></worksheet>";
  TTraceReader whole;
  const std::string complete = whole.Parse("sheet", xml.data(), xml.size(), true);
  for (std::size_t fail_at : {std::size_t{0}, std::size_t{1}, xml.size() / 3, xml.size() - 1}) {
    for (std::size_t chunk : {1, 5, 4096}) {
      TTraceReader streamed;
      TChunkedFeed feed(xml.data(), xml.size(), chunk, fail_at, "ZLib decompress error");
      const std::string trace = streamed.Parse("sheet", feed, true);
      // Every element reported lies within the bytes delivered, and the producer's message ends the parse.
      const std::string tail = "error ZLib decompress error";
      ASSERT_GE(trace.size(), tail.size()) << fail_at;
      EXPECT_EQ(trace.substr(trace.size() - tail.size()), tail) << fail_at << " " << chunk;
      const std::string reported = trace.substr(0, trace.size() - tail.size());
      EXPECT_EQ(complete.substr(0, reported.size()), reported) << fail_at << " " << chunk;
      TTraceReader prefix;
      EXPECT_LE(reported.size(), prefix.Parse("sheet", xml.data(), fail_at, true).size()) << fail_at;
    }
  }
}

TEST(XMLStreamedParse, CorpusPartsGiveTheSameTrees) {
  const std::filesystem::path files = test::CorpusFiles();
  if (!std::filesystem::is_directory(files)) GTEST_SKIP() << "no corpus at " << files;
  int parts = 0;
  test::ForEachCorpusXMLPart(files, [&](const test::TCorpusPart& part) {
    // The variety is in the first part of a large sheet; the rest repeats it.
    const std::size_t size = std::min<std::size_t>(part.Bytes.Size(), 256 << 10);
    const char* data = reinterpret_cast<const char*>(part.Bytes.Data());
    TTraceReader whole;
    const std::string expected = whole.Parse(part.Name, data, size, true);
    const std::size_t chunk = 1 + static_cast<std::size_t>(parts % 7);
    TTraceReader streamed;
    TChunkedFeed feed(data, size, chunk);
    EXPECT_EQ(streamed.Parse(part.Name, feed, true), expected) << part.Package << ":" << part.Name << " chunk " << chunk;
    ++parts;
  });
  EXPECT_GT(parts, 0);
}

}  // namespace
}  // namespace gridport
