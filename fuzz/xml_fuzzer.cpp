// Parses the input as a package part with a handler that calls every typed accessor on each
// element, iterates children, serialises kept elements and frees siblings as the package
// reader does. Failures must be EXLSError; anything else (a crash, a sanitizer report) is a bug.
// Each input is parsed three times: by the direct scan of common tags, by the general rules
// alone, and by the direct scan while its bytes become ready a few at a time (1 to 7 bytes
// per wait, from the input's last byte); the three traces of elements must be equal. References
// and numbers read word-wise must equal those read byte by byte.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "openxml/xml_excel_reader.h"
#include "openxml/xml_text.h"
#include "tests/openxml/chunked_feed.h"
#include "workbook/package_relations.h"
#include "workbook/xls_error.h"

namespace {

using namespace gridport;

class TFuzzReader : public TExcelXMLReader {
 public:
  std::size_t sink = 0;
  std::string trace;

 protected:
  void TagBegun(int id) override {
    sink += CurrentElement()->HasValues();
    trace += std::to_string(id) + " " + std::to_string(Depth()) + " " + std::to_string(PreserveSpace()) + " " +
             CurrentElement()->Serialise();
  }
  bool TagEnded(int id) override {
    TExXMLTag& t = *CurrentElement();
    trace += "/" + std::to_string(id) + " " + std::string(t.Name()) + "[" + std::string(t.RawText()) + "]\n";
    for (int attr : {xaR, xaS, xaT, xaRef, xaVal, xaRgb, xaHt, xaName, xaRelId, xaRelType}) {
      sink += t.Bool(attr, false) + static_cast<std::size_t>(t.Int(attr, 1));
      sink += static_cast<std::size_t>(t.Float(attr, 0.5) > 1);
      sink += t.String(attr).size() + t.DecodedString(attr).size() + t.Hex(attr);
      sink += static_cast<std::size_t>(t.Enumerated(attr, 3, {"a", "b"}));
      Try([&] { sink += static_cast<std::size_t>(t.CellRef(attr).Col); });
      Try([&] { sink += static_cast<std::size_t>(t.AreaRef(attr).Last.Row); });
      Try([&] { sink += t.RequiredDecodedString(attr).size(); });
    }
    // The word-wise reads of a value and of the text must equal the byte loops' results.
    for (int attr : {xaR, xaRef, xaVal}) {
      if (const TExXMLValue* v = t.Value(attr)) {
        const std::string word = RefText([&] { return CellRefOf(v->Raw); });
        if (word != RefText([&] { return ParseXMLCellRef(v->Raw); })) __builtin_trap();
        sink += word.size();
      }
    }
    double word = -1, loop = -1;
    if (FloatOf(t.RawText(), word) != ParseXMLFloat(t.RawText(), loop) || std::memcmp(&word, &loop, 8) != 0)
      __builtin_trap();
    std::u16string text = t.DecodedText();
    DecodeEscapedUnderscores(text);
    sink += text.size() + static_cast<std::size_t>(t.TextInt()) + t.TextBool();
    sink += t.ChildFlag(xtB) + (t.Child(xtV) != nullptr) + (t.ChildValue(xtColor, xaRgb) != nullptr);
    Try([&] { sink += t.RequiredChildValue(xtRFont, xaVal).Raw.size(); });
    if (id == xtRelationship) {
      Try([&] {
        TXMLRelation& r = relations_.Add(t.RequiredString(xaRelId));
        relations_.SetType(r, t.RequiredString(xaRelType));
        sink += relations_.Find(r.Id, true)->NumericId;
      });
    }
    switch (id) {
      case xtC:
      case xtRow:
      case xtSi:
        return true;
      case xtFonts:
      case xtNumFmts:
      case xtSheetViews:
        sink += t.Serialise().size();
        Try([&] {
          t.IterateChildren(id == xtSheetViews ? -1 : id == xtFonts ? xtFont : xtNumFmt);
          while (TExXMLTag* c = t.NextChild()) sink += c->Name().size();
        });
        return false;
      default:
        return (sink & 7) == 0;
    }
  }

 private:
  // A reference as "col,row" or the message it fails with.
  template <typename F>
  static std::string RefText(F f) {
    try {
      const TXMLCellRef ref = f();
      return std::to_string(ref.Col) + "," + std::to_string(ref.Row);
    } catch (const EXLSError& e) {
      return e.what();
    }
  }
  template <typename F>
  static void Try(F f) {
    try {
      f();
    } catch (const EXLSError&) {
    }
  }
  TXMLRelationsWorkbook relations_;
};

}  // namespace

namespace {

// chunk 0 parses the whole input at once; otherwise the input arrives chunk bytes per wait.
void Parse(TFuzzReader& reader, const char* name, const char* text, std::size_t size, std::size_t chunk) {
  try {
    if (chunk == 0) {
      reader.ParsePart(name, text, size);
    } else {
      test::TChunkedFeed feed(text, size, chunk);
      reader.ParsePart(name, feed);
    }
  } catch (const EXLSError& e) {
    reader.trace += std::string("error ") + e.what() + "\n";
  }
}

std::string Trace(const char* text, std::size_t size, bool direct, std::size_t chunk) {
  TFuzzReader reader;
  reader.SetDirectScan(direct);
  Parse(reader, "fuzz.xml", text, size, chunk);
  // A second part through the same reader, as the package reader parses one after another.
  Parse(reader, "again.xml", text, size / 2, chunk);
  reader.trace += std::to_string(reader.sink);
  return reader.trace;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const std::string direct = Trace(text, size, true, 0);
  if (direct != Trace(text, size, false, 0)) __builtin_trap();
  const std::size_t chunk = size == 0 ? 1 : 1 + data[size - 1] % 7;
  if (direct != Trace(text, size, true, chunk)) __builtin_trap();
  return 0;
}
