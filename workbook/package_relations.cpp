#include "workbook/package_relations.h"

#include <algorithm>

#include "text/whole_number.h"
#include "workbook/xls_error.h"

namespace gridport {

void SplitRelationType(std::string_view type, std::string& local, std::uint8_t& namespace_index) {
  std::size_t slash = type.rfind('/');
  namespace_index = rnNone;
  if (slash != std::string_view::npos && slash != 0) {
    std::string_view prefix = type.substr(0, slash + 1);
    if (prefix == kRelNamespaceOfficeDocument) {
      namespace_index = rnOfficeDocument;
    } else if (prefix == kRelNamespaceMicrosoft) {
      namespace_index = rnMicrosoft;
    }
  }
  local.assign(namespace_index == rnNone ? type : type.substr(slash + 1));
}

namespace {

// The Id from its fourth character on ("rId12" gives 12) as a decimal number; 0 when that is
// not a number.
std::int32_t NumericIdOf(std::string_view id) {
  std::int32_t value = 0;
  return id.size() > 3 && WholeFromChars(id.substr(3), value) ? value : 0;
}

}  // namespace

bool TXMLRelations::AcceptsType(std::string_view) const { return true; }

std::size_t TXMLRelations::LowerBound(std::string_view id) const {
  auto it = std::lower_bound(items_.begin(), items_.end(), id,
                             [](const std::shared_ptr<TXMLRelation>& r, std::string_view key) {
                               return std::string_view(r->Id) < key;
                             });
  return static_cast<std::size_t>(it - items_.begin());
}

TXMLRelation& TXMLRelations::Add(std::string_view id) {
  auto relation = std::make_shared<TXMLRelation>();
  relation->Id.assign(id);
  relation->NumericId = NumericIdOf(id);
  TXMLRelation& result = *relation;
  if (ordered_) {
    std::size_t at = LowerBound(id);
    if (at < items_.size() && items_[at]->Id == id) throw EXLSError("Duplicate relation id");
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(relation));
  } else {
    items_.push_back(std::move(relation));
  }
  return result;
}

void TXMLRelations::SetType(TXMLRelation& relation, std::string_view type) const {
  SplitRelationType(type, relation.Type, relation.NamespaceIndex);
}

const TXMLRelation* TXMLRelations::Find(std::string_view id, bool required) const {
  return FindShared(id, required).get();
}

std::shared_ptr<TXMLRelation> TXMLRelations::FindShared(std::string_view id, bool required) const {
  std::size_t at = LowerBound(id);
  if (at < items_.size() && items_[at]->Id == id) return items_[at];
  if (required) throw EXLSError("Required relationship missing: " + std::string(id));
  return nullptr;
}

// Ordinal byte order, the same order Find searches in; a stable sort keeps duplicate Ids
// gathered in collecting mode in file order.
void TXMLRelations::SortById() {
  std::stable_sort(items_.begin(), items_.end(),
                   [](const std::shared_ptr<TXMLRelation>& a, const std::shared_ptr<TXMLRelation>& b) {
                     return a->Id < b->Id;
                   });
}

bool TXMLRelationsWorkbook::AcceptsType(std::string_view type) const {
  std::size_t slash = type.rfind('/');
  if (slash == std::string_view::npos) return false;
  std::string_view last = type.substr(slash + 1);
  return last != "worksheet" && last != "sharedStrings" && last != "styles" && last != "calcChain";
}

void TXMLRelationsWorkbook::SetType(TXMLRelation& relation, std::string_view type) const {
  TXMLRelations::SetType(relation, type);
  relation.WorkbookKind = 0;
  for (std::size_t i = 1; i < std::size(kWorkbookRelationKinds); ++i) {
    if (kWorkbookRelationKinds[i] == relation.Type) {
      relation.WorkbookKind = static_cast<std::uint8_t>(i);
      break;
    }
  }
}

}  // namespace gridport
