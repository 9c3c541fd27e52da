// Path and file-name rules of the converter. Paths are UTF-8 text with "/" as the
// delimiter; every name rule works inside the last path component only, so a
// folder name never decides how a file is named.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gridport {

// folder + "/" + name; no second "/" when the folder already ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);

// Offset of the last path component (just after the last "/", or 0).
size_t LastComponentStart(std::string_view path);

// The part of `path` before the first occurrence of `marker` (ASCII, any case)
// inside its last component; the whole path when that component holds none.
std::string CutInLastComponent(std::string_view path, std::string_view marker);

// A CSV name derived from a workbook name: the last component cut at its first
// ".xls" (any case), then ".csv" (BOOK.XLS -> BOOK.csv, data -> data.csv).
std::string TargetNameFromSource(std::string_view source);

// Base of the every-sheet names and rename candidates: the name cut at the first
// ".csv" (any case) of its last component, or the whole name.
std::string CsvBaseName(std::string_view target);

// base + "(л." + k + ").csv": the file of the k-th significant sheet.
std::string EverySheetName(std::string_view base, uint32_t k);

// base + "(" + i + ").csv": the i-th rename candidate.
std::string RenameCandidate(std::string_view base, uint64_t i);

// True for a batch entry name: not hidden (no leading "."), with an extension
// (after the last ".") that begins with "xls", any case: .xls, .xlsx, .xlsm.
bool IsBatchWorkbookName(std::string_view name);

// The bare names of the regular files of `folder` that IsBatchWorkbookName
// admits, in name order. A folder that cannot be read gives none.
std::vector<std::string> ListBatchWorkbooks(const std::string& folder);

bool FileExists(const std::string& path);       // a regular file (or a link to one)
bool PathExists(const std::string& path);       // any entry: file, folder, link
bool DirectoryExists(const std::string& path);

// ASCII upper-casing; other bytes (UTF-8 sequences included) stay as they are.
std::string UpperAscii(std::string_view text);

}  // namespace gridport
