// The .xlsx and .xlsm workbooks of the shared corpus, for tests that walk all of them.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace gridport::test {

inline bool EndsWithIgnoringCase(std::string name, std::string_view tail) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

// The corpus's files folder: $GRIDPORT_SHARED_DIR/corpus/files, else the one beside the project.
inline std::filesystem::path CorpusFiles() {
  const char* env = std::getenv("GRIDPORT_SHARED_DIR");
  return std::filesystem::path(env ? env : GRIDPORT_SHARED_DIR) / "corpus" / "files";
}

// The packages of that folder (by extension), in name order.
inline std::vector<std::filesystem::path> CorpusPackages(const std::filesystem::path& files) {
  std::vector<std::filesystem::path> packages;
  for (const auto& item : std::filesystem::directory_iterator(files)) {
    const std::string name = item.path().filename().string();
    if (EndsWithIgnoringCase(name, ".xlsx") || EndsWithIgnoringCase(name, ".xlsm")) packages.push_back(item.path());
  }
  std::sort(packages.begin(), packages.end());
  return packages;
}

}  // namespace gridport::test
