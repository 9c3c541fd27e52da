// Entry names of a zip archive: the forms used to look an entry up and to list it.
#pragma once

#include <string>
#include <string_view>

namespace gridport {

// The lookup form of a name: "\" becomes "/", a drive part up to ":/" and a
// "//host/share/" prefix are removed, one leading "/" is dropped, and ASCII
// letters are lower-cased (names are compared as bytes; UTF-8 sequences pass
// unchanged). Wanted and stored names go through the same function.
std::string NormaliseZipName(std::string_view name);

// The listing form of a stored name: "//" and "/" become "\", and everything up
// to and including a ":\" drive part is removed ("xl/workbook.xml" gives
// "xl\workbook.xml").
std::string ZipListingName(std::string_view name);

}  // namespace gridport
