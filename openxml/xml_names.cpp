// Name-to-id maps built once as collision-free hash tables: the seed of the hash is chosen at
// start-up so that every name of a table lands in a slot of its own, and a lookup is one hash,
// one slot and one comparison.
#include "openxml/xml_names.h"

#include <array>
#include <vector>

namespace gridport {
namespace {

inline std::uint32_t NameHash(std::string_view s, std::uint32_t seed) {
  std::uint32_t h = 2166136261u ^ seed;
  for (unsigned char ch : s) h = (h ^ ch) * 16777619u;
  return h ^ (h >> 15);
}

// A perfect hash over a fixed list of names; slots hold the position + 1 (0 = empty).
template <std::size_t Bits>
class TPerfectNameMap {
 public:
  TPerfectNameMap(const std::string_view* names, int count) : names_(names) {
    for (seed_ = 1;; ++seed_) {
      slots_.fill(0);
      bool collision = false;
      for (int i = 0; i < count && !collision; ++i) {
        std::uint16_t& slot = slots_[NameHash(names[i], seed_) & kMask];
        if (slot != 0) collision = true;
        slot = static_cast<std::uint16_t>(i + 1);
      }
      if (!collision) break;
    }
  }
  int Find(std::string_view name) const {
    std::uint16_t slot = slots_[NameHash(name, seed_) & kMask];
    if (slot == 0 || names_[slot - 1] != name) return -1;
    return slot - 1;
  }

 private:
  static constexpr std::uint32_t kMask = (1u << Bits) - 1;
  const std::string_view* names_;
  std::uint32_t seed_ = 0;
  std::array<std::uint16_t, (1u << Bits)> slots_{};
};

const TPerfectNameMap<12>& TagMap() {
  static const TPerfectNameMap<12> map(XMLTagNames, XMLTagCount);
  return map;
}
const TPerfectNameMap<12>& AttrMap() {
  static const TPerfectNameMap<12> map(XMLAttrNames, XMLAttrCount);
  return map;
}

const std::string_view kFillPatterns[] = {
    "none",       "solid",        "mediumGray",     "darkGray",      "lightGray",
    "darkHorizontal", "darkVertical", "darkDown",   "darkUp",        "darkGrid",
    "darkTrellis", "lightHorizontal", "lightVertical", "lightDown",  "lightUp",
    "lightGrid",  "lightTrellis", "gray125",        "gray0625"};
const std::string_view kBorderStyles[] = {
    "none",   "thin",         "medium",        "dashed",     "dotted",
    "thick",  "double",       "hair",          "mediumDashed", "dashDot",
    "mediumDashDot", "dashDotDot", "mediumDashDotDot", "slantedDashDot"};

template <std::size_t N>
int IndexIn(const std::string_view (&table)[N], std::string_view value) {
  for (std::size_t i = 0; i < N; ++i)
    if (table[i] == value) return static_cast<int>(i);
  return 0;
}

}  // namespace

int XMLTagIdOfLong(std::string_view name) {
  std::size_t colon = name.rfind(':');
  if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
  int id = TagMap().Find(name);
  return id < 0 ? xtUnknown : id;
}

int XMLAttrIdOfLong(std::string_view name) { return AttrMap().Find(name); }

std::string_view XMLTagName(int id) {
  return id >= 0 && id < XMLTagCount ? XMLTagNames[id] : std::string_view();
}
std::string_view XMLAttrName(int id) {
  return id >= 0 && id < XMLAttrCount ? XMLAttrNames[id] : std::string_view();
}

int XMLFillPatternIndex(std::string_view value) { return IndexIn(kFillPatterns, value); }
// Files write the slanted dash-dot style as "slantDashDot"; "slantedDashDot" is kept as well.
int XMLBorderStyleIndex(std::string_view value) {
  return value == "slantDashDot" ? 13 : IndexIn(kBorderStyles, value);
}

}  // namespace gridport
