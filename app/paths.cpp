#include "app/paths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace gridport {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// First occurrence of `marker` in `text`, ASCII letters compared without case.
size_t FindIgnoringCase(std::string_view text, std::string_view marker) {
  if (marker.size() > text.size()) return std::string_view::npos;
  for (size_t i = 0; i + marker.size() <= text.size(); ++i) {
    size_t j = 0;
    while (j < marker.size() && LowerAscii(text[i + j]) == LowerAscii(marker[j])) ++j;
    if (j == marker.size()) return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

size_t LastComponentStart(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

std::string CutInLastComponent(std::string_view path, std::string_view marker) {
  const size_t start = LastComponentStart(path);
  const size_t found = FindIgnoringCase(path.substr(start), marker);
  if (found == std::string_view::npos) return std::string(path);
  return std::string(path.substr(0, start + found));
}

std::string TargetNameFromSource(std::string_view source) {
  return CutInLastComponent(source, ".xls") + ".csv";
}

std::string CsvBaseName(std::string_view target) { return CutInLastComponent(target, ".csv"); }

std::string EverySheetName(std::string_view base, uint32_t k) {
  std::string name(base);
  name += "(л.";
  name += std::to_string(k);
  name += ").csv";
  return name;
}

std::string RenameCandidate(std::string_view base, uint64_t i) {
  std::string name(base);
  name += '(';
  name += std::to_string(i);
  name += ").csv";
  return name;
}

bool IsBatchWorkbookName(std::string_view name) {
  if (name.empty() || name.front() == '.') return false;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  return FindIgnoringCase(name.substr(dot), ".xls") == 0;
}

std::vector<std::string> ListBatchWorkbooks(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return names;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const std::string name = it->path().filename().string();
    if (!IsBatchWorkbookName(name)) continue;
    std::error_code kind_error;
    if (!it->is_regular_file(kind_error)) continue;  // folders and devices are left out
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

bool DirectoryExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

}  // namespace gridport
