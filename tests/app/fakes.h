// Test doubles for the converter: a host that records every text it is given
// and answers from a script, an engine over sheets held as maps, and a
// scratch folder.
#pragma once

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "app/engine.h"
#include "app/host.h"
#include "text/utf8.h"

namespace gridport::test {

class TRecordingHost : public THost {
 public:
  std::vector<std::string> statuses;   // every status text, cell progress formatted
  std::vector<std::string> questions;  // replace questions asked
  std::vector<std::string> messages;
  std::vector<std::string> errors;
  int sheet_mode_questions = 0;
  std::deque<int> sheet_mode_answers;  // item per question; 0 when the script runs out
  std::deque<bool> replace_answers;    // Yes per question; Yes when the script runs out

  void Status(const std::string& text) override { statuses.push_back(text); }
  void CellProgress(const TCellProgress& progress) override { statuses.push_back(FormatCellProgress(progress)); }
  int AskSheetMode() override {
    ++sheet_mode_questions;
    if (sheet_mode_answers.empty()) return 0;
    const int answer = sheet_mode_answers.front();
    sheet_mode_answers.pop_front();
    return answer;
  }
  bool AskReplace(const std::string& question) override {
    questions.push_back(question);
    if (replace_answers.empty()) return true;
    const bool answer = replace_answers.front();
    replace_answers.pop_front();
    return answer;
  }
  void Message(const std::string& text) override { messages.push_back(text); }
  void ReportError(const std::string& text) override { errors.push_back(text); }
};

// A sheet as cell texts keyed by 0-based (row, col); UTF-8 in the test source.
using TFakeSheet = std::map<std::pair<uint32_t, uint32_t>, std::string>;

// An engine over fake workbooks keyed by path; it applies the built-in
// engine's significance rule and records what the run asked of it.
class TFakeEngine : public TEngine {
 public:
  std::map<std::string, std::vector<TFakeSheet>> workbooks;
  std::vector<std::string> calls;
  std::string fail_open;             // a path whose opening fails
  uint64_t fail_after_cells = 0;     // when not 0: the cell text fetch that fails
  bool skip_xlsx = false;

  void BeginRun(TRunKind kind) override { calls.push_back(kind == rkSingle ? "begin single" : "begin batch"); }
  void OpenWorkbook(const std::string& path) override {
    calls.push_back("open " + path);
    if (path == fail_open || workbooks.count(path) == 0) throw std::runtime_error("Cannot open " + path);
    open_ = &workbooks[path];
  }
  uint32_t SheetCount() override { return static_cast<uint32_t>(Open().size()); }
  bool IsSheetSignificant(uint32_t sheet) override {
    const TSheetSize size = ExportSize(sheet);
    if (uint64_t{size.rows} * size.cols >= 2) return true;
    std::u16string text;
    CellText(sheet, 1, 1, text);
    return !text.empty();
  }
  TSheetSize ExportSize(uint32_t sheet) override {
    const TFakeSheet& cells = Sheet(sheet);
    TSheetSize size{1, 1};
    for (const auto& [position, text] : cells) {
      size.rows = std::max(size.rows, position.first + 1);
      size.cols = std::max(size.cols, position.second + 1);
    }
    return size;
  }
  void CellText(uint32_t sheet, uint32_t row, uint32_t col, std::u16string& text) override {
    if (fail_after_cells != 0 && ++cells_fetched_ >= fail_after_cells) throw std::runtime_error("cell fetch failed");
    const TFakeSheet& cells = Sheet(sheet);
    const auto found = cells.find({row - 1, col - 1});
    if (found != cells.end()) text = Utf8ToUtf16(found->second);
  }
  void CloseWorkbook(TRunKind, TRunContext&) override {
    calls.push_back("close");
    open_ = nullptr;
  }
  void EndRun(TRunKind kind, TRunContext&) override { calls.push_back(kind == rkSingle ? "end single" : "end batch"); }
  bool SkipsBatchEntry(std::string_view name) const override {
    return skip_xlsx && name.find(".xlsx") != std::string_view::npos;
  }

 private:
  std::vector<TFakeSheet>& Open() {
    if (open_ == nullptr) throw std::logic_error("no workbook open");
    return *open_;
  }
  const TFakeSheet& Sheet(uint32_t sheet) {
    if (sheet < 1 || sheet > Open().size()) throw std::out_of_range("List index out of bounds (" + std::to_string(int64_t{sheet} - 1) + ")");
    return Open()[sheet - 1];
  }
  std::vector<TFakeSheet>* open_ = nullptr;
  uint64_t cells_fetched_ = 0;
};

// A fresh, empty folder under the system's temporary folder, removed at the end.
class TScratchFolder {
 public:
  TScratchFolder() {
    const auto base = std::filesystem::temp_directory_path();
    for (int i = 0;; ++i) {
      path_ = base / ("gridport-app-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++) + "-" + std::to_string(i));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  std::string Path() const { return path_.string(); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// The entries of a folder, names sorted.
inline std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace gridport::test
