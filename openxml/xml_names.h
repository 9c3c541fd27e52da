// Lookup of element and attribute names to their ids, and the small value tables
// that accessors of style elements use.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "openxml/xml_ids.h"

namespace gridport {

extern const std::string_view XMLTagNames[XMLTagCount];
extern const std::string_view XMLAttrNames[XMLAttrCount];

// One-letter names (c, v, f, r, s, t, ...) are the most frequent ones: a direct table.
struct TXMLOneLetterIds {
  std::array<std::int16_t, 256> Tag;
  std::array<std::int16_t, 256> Attr;
};
extern const TXMLOneLetterIds kXMLOneLetterIds;

int XMLTagIdOfLong(std::string_view name);
int XMLAttrIdOfLong(std::string_view name);

// Id of an element name, xtUnknown when not in the table. A namespace prefix
// ("x:row") is ignored: some writers prefix every element of a part.
inline int XMLTagIdOf(std::string_view name) {
  if (name.size() == 1) return kXMLOneLetterIds.Tag[static_cast<unsigned char>(name[0])];
  if (name.size() == 3 && name[0] == 'r' && name[1] == 'o' && name[2] == 'w') return xtRow;
  return XMLTagIdOfLong(name);
}
// Id of an attribute name (compared literally, prefix included: "r:id"), -1 when unknown.
inline int XMLAttrIdOf(std::string_view name) {
  if (name.size() == 1) return kXMLOneLetterIds.Attr[static_cast<unsigned char>(name[0])];
  return XMLAttrIdOfLong(name);
}

// Name of a tag id for messages ("" for ids outside the table).
std::string_view XMLTagName(int id);
std::string_view XMLAttrName(int id);

// Fill pattern types (19) and border line styles (14): position of the value, 0 when absent.
int XMLFillPatternIndex(std::string_view value);
int XMLBorderStyleIndex(std::string_view value);

}  // namespace gridport
