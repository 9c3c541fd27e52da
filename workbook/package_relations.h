// Relationship lists of an Excel 2007 package: the "_rels" parts that name the targets of a
// workbook and its sheets. The package reader fills them; the workbook, each sheet and the
// external names hold them (plain data, so the model needs nothing of the XML reader).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gridport {

// Namespaces of relationship types (the prefix of the type up to its last "/").
enum TXMLRelNamespace : std::uint8_t { rnNone = 0, rnOfficeDocument = 1, rnMicrosoft = 2 };
inline constexpr std::string_view kRelNamespaceOfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
inline constexpr std::string_view kRelNamespaceMicrosoft =
    "http://schemas.microsoft.com/office/2006/relationships/";

enum TXMLTargetMode : std::uint8_t { tmNotGiven = 0, tmInternal = 1, tmExternal = 2 };

// The workbook relation kinds, positions in this list ("" is kind 0).
inline constexpr std::string_view kWorkbookRelationKinds[] = {
    "",
    "additionalCharacteristics",
    "bibliography",
    "calcChain",
    "sheetMetadata",
    "connections",
    "xmlMaps",
    "customXml",
    "sharedStrings",
    "revisionHeaders",
    "usernames",
    "styles",
    "theme",
    "thumbnail",
    "volatileDependencies",
    "chartsheet",
    "dialogsheet",
    "externalLink",
    "pivotCacheDefinition",
    "worksheet",
    "vbaProject",
    "attachedToolbars",
    "xlIntlMacrosheet"};

struct TXMLRelation {
  std::string Id;              // as written, such as rId3
  std::int32_t NumericId = 0;  // Id from its fourth character on; 0 when not a number
  std::string Type;            // without a known namespace prefix
  std::uint8_t NamespaceIndex = rnNone;
  std::string Target;
  std::uint8_t TargetMode = tmNotGiven;
  std::uint8_t WorkbookKind = 0;  // workbook relationships only
};

// Splits a relationship type at its last "/": a known namespace prefix is taken off and named
// by its index; anything else keeps the type whole with index 0.
void SplitRelationType(std::string_view type, std::string& local, std::uint8_t& namespace_index);

// A list of relationships. Collecting mode appends as read; ordered mode keeps the list sorted
// by Id and rejects duplicates. Relations are shared so that the external-link list can refer
// to those of the workbook.
class TXMLRelations {
 public:
  virtual ~TXMLRelations() = default;

  // Whether a relationship of this type belongs in the list (all do in the base list).
  virtual bool AcceptsType(std::string_view type) const;

  // Appends a relation with this Id; in ordered mode "Duplicate relation id" when present.
  TXMLRelation& Add(std::string_view id);
  // Splits the type into the relation (and sets the workbook kind in the workbook list).
  virtual void SetType(TXMLRelation& relation, std::string_view type) const;
  // Binary search by Id (the list must be ordered); required and absent throws
  // "Required relationship missing: " + Id.
  const TXMLRelation* Find(std::string_view id, bool required) const;
  std::shared_ptr<TXMLRelation> FindShared(std::string_view id, bool required) const;
  void Append(std::shared_ptr<TXMLRelation> relation) { items_.push_back(std::move(relation)); }

  void SetCollecting() { ordered_ = false; }
  void SetOrdered() {
    ordered_ = true;
    SortById();
  }
  bool Ordered() const { return ordered_; }
  void SortById();

  std::size_t Count() const { return items_.size(); }
  const TXMLRelation& operator[](std::size_t i) const { return *items_[i]; }
  void Clear() { items_.clear(); }

 protected:
  std::vector<std::shared_ptr<TXMLRelation>> items_;
  bool ordered_ = true;

 private:
  std::size_t LowerBound(std::string_view id) const;
};

// The workbook's relationships: parts read by fixed names (worksheets, shared strings, styles,
// the calculation chain) are left out, and every relation gets its workbook kind.
class TXMLRelationsWorkbook : public TXMLRelations {
 public:
  bool AcceptsType(std::string_view type) const override;
  // A type outside the kind list gets kind 0: newer writers add types (persons, rich data)
  // that must not make a workbook unreadable.
  void SetType(TXMLRelation& relation, std::string_view type) const override;
};

// The external-link relationships, appended from the workbook list by reference.
class TXMLExtRelations : public TXMLRelations {
 public:
  TXMLExtRelations() { ordered_ = false; }
};

}  // namespace gridport
