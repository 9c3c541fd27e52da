// A tree-building XML reader that writes every element it sees into a trace, so that two ways
// of parsing a part (the direct scan and the general rules, a whole part and one that arrives
// in pieces) can be compared by their traces.
#pragma once

#include <string>
#include <string_view>

#include "openxml/xml_excel_reader.h"
#include "workbook/xls_error.h"

namespace gridport::test {

class TTraceReader : public TExcelXMLReader {
 public:
  std::string trace;

  std::string Parse(std::string_view name, const char* data, std::size_t size, bool direct) {
    trace.clear();
    SetDirectScan(direct);
    try {
      ParsePart(name, data, size);
    } catch (const EXLSError& e) {
      trace += std::string("error ") + e.what();
    }
    return trace;
  }

  std::string Parse(std::string_view name, TXMLPartFeed& feed, bool direct) {
    trace.clear();
    SetDirectScan(direct);
    try {
      ParsePart(name, feed);
    } catch (const EXLSError& e) {
      trace += std::string("error ") + e.what();
    }
    return trace;
  }

 protected:
  // "t" keeps its spaces, as in the package reader, so that both trimming rules are exercised.
  bool KeepsTextSpace(std::string_view name) const override { return name == "t"; }
  void TagBegun(int id) override {
    // A new element has no children yet: its serialisation is its name, values and text.
    trace += std::to_string(id) + " d" + std::to_string(Depth()) + " k" + std::to_string(LastKind()) + " p" +
             std::to_string(PreserveSpace()) + " " + CurrentElement()->Serialise() + "\n";
  }
  bool TagEnded(int id) override {
    const TExXMLTag& t = *CurrentElement();
    trace += ">" + std::to_string(id) + " " + std::string(t.Name()) + " [" + std::string(t.RawText()) +
             "] " + std::to_string(t.HasValues()) + " d" + std::to_string(Depth()) + "\n";
    // Free as the package reader does, so that later elements reuse the arena.
    return id == xtC || id == xtRow || id == xtSi;
  }
};

}  // namespace gridport::test
