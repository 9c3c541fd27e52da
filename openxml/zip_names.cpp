#include "openxml/zip_names.h"

#include <algorithm>

namespace gridport {
namespace {

// Deletes everything up to and including the first occurrence of what, if any.
void DropThrough(std::string& s, std::string_view what) {
  const std::size_t at = s.find(what);
  if (at != std::string::npos) s.erase(0, at + what.size());
}

}  // namespace

std::string NormaliseZipName(std::string_view name) {
  std::string s(name);
  std::replace(s.begin(), s.end(), '\\', '/');
  DropThrough(s, ":/");
  if (s.find("//") != std::string::npos) {
    DropThrough(s, "//");  // "//host/share/path" -> "path"
    DropThrough(s, "/");
    DropThrough(s, "/");
  }
  if (!s.empty() && s[0] == '/') s.erase(0, 1);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string ZipListingName(std::string_view name) {
  std::string s;
  s.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '/') {
      s += '\\';
      if (i + 1 < name.size() && name[i + 1] == '/') ++i;  // "//" is one separator
    } else {
      s += name[i];
    }
  }
  const std::size_t drive = s.find(":\\");
  if (drive != std::string::npos) s.erase(0, drive + 2);
  return s;
}

}  // namespace gridport
