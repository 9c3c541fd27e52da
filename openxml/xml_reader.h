// The XML tokenizer: pulls one tag at a time from a byte buffer and reports start tags,
// end tags, attributes and the text that follows a tag through virtual operations.
//
// It does not validate and does not know namespaces; every byte is one character (text is
// decoded later, on demand). Names, values and texts handed to the callbacks are views into
// the source buffer (or into storage from TagScratch); the source must outlive the reader's use
// of them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace gridport {

class TXMLReader {
 public:
  // Kind of the last token.
  enum TTokenKind : int { tkNone = 0, tkStartTag = 1, tkEndTag = 2, tkEmptyTag = 3, tkDeclaration = 4 };

  virtual ~TXMLReader() = default;

  // Empties the value list and clears the preserve-space flag (depth is not touched).
  void Reset();
  // Reads up to and including the next tag and the text after it and reports it; false when
  // the source ends before a tag is complete.
  bool ReadNext();

  int LastKind() const { return kind_; }
  std::string_view LastName() const { return name_; }
  std::string_view LastText() const { return text_; }
  int Depth() const { return depth_; }
  bool PreserveSpace() const { return preserve_space_; }
  // "name=value" lines filled by the base TagAttribute for the last tag.
  const std::vector<std::string>& Values() const { return values_; }

 protected:
  virtual void TagStart(std::string_view name, std::string_view text, bool empty);
  virtual void TagEnd(std::string_view name, bool empty);
  virtual void TagAttribute(std::string_view name, std::string_view value);
  // Storage for a tag whose dropped slashes make it differ from the source bytes. The views
  // reported for such a tag point into it, so it must live as long as they are used; the base
  // class keeps one buffer, valid until the next tag.
  virtual char* TagScratch(std::size_t size);
  // Whether the text after a start tag of this name keeps its leading and trailing white space
  // without an xml:space attribute; asked only for text that has such space. None does here.
  virtual bool KeepsTextSpace(std::string_view name) const;

  void SetBuffer(const char* data, std::size_t size) {
    begin_ = cur_ = data;
    end_ = data + size;
  }
  void ResetDepth() { depth_ = 0; }
  const char* begin_ = nullptr;
  const char* cur_ = nullptr;
  const char* end_ = nullptr;
  // The state of the last token; a derived reader that scans a tag itself keeps it as the
  // general scan would.
  int kind_ = tkNone;
  int depth_ = 0;
  bool preserve_space_ = false;
  std::string_view name_;
  std::string_view text_;

 private:
  bool ReadTagFast(const char* p);
  bool ReadTag(const char* p);
  void ReportTag();
  void ReportAttributes(std::string_view rest);
  bool SkipMarkup(const char* p);

  std::vector<std::string> values_;
  std::string scratch_;
};

// The tokenizer over a buffer in memory (an extracted package part).
class TXMLStreamReader : public TXMLReader {
 public:
  // Resets the reader and reads from data; the buffer is not owned and must outlive the parse.
  void SetSource(const char* data, std::size_t size) {
    Reset();
    SetBuffer(data, size);
  }
  void SetSource(std::string_view data) { SetSource(data.data(), data.size()); }
  std::size_t GetPosition() const { return static_cast<std::size_t>(cur_ - begin_); }
  void SeekTo(std::size_t position) { cur_ = begin_ + (position < Size() ? position : Size()); }
  std::size_t Size() const { return static_cast<std::size_t>(end_ - begin_); }
};

}  // namespace gridport
