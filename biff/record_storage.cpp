#include "biff/record_storage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

std::string Format(const char* pattern, std::uint16_t id) {
  char text[80];
  std::snprintf(text, sizeof text, pattern, static_cast<unsigned>(id));
  return text;
}

// Little-endian body builder for the default tables.
class TBody {
 public:
  TBody& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  TBody& U16(std::uint16_t v) { return U8(static_cast<std::uint8_t>(v)).U8(static_cast<std::uint8_t>(v >> 8)); }
  TBody& U32(std::uint32_t v) { return U16(static_cast<std::uint16_t>(v)).U16(static_cast<std::uint16_t>(v >> 16)); }
  TBody& Double(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
  }
  TBody& Fill(std::size_t count, std::uint8_t v) {
    bytes_.insert(bytes_.end(), count, v);
    return *this;
  }
  operator std::vector<std::uint8_t>() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

bool IsBof(std::uint16_t id) { return (id & 0xFF) == 0x09; }

}  // namespace

// ---------------------------------------------------------------- TBaseRecordStorage

void TBaseRecordStorage::Write(std::vector<std::uint8_t>& out) const {
  for (const auto& record : records_) {
    std::uint16_t length = record->Length();
    out.insert(out.end(), {static_cast<std::uint8_t>(record->Id), static_cast<std::uint8_t>(record->Id >> 8),
                           static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8)});
    out.insert(out.end(), record->Body.begin(), record->Body.end());
  }
}

void TBaseRecordStorage::AddRecord(std::uint16_t id, std::uint16_t length, const std::uint8_t* body) {
  auto record = std::make_unique<TStoredRecord>();
  record->Id = id;
  if (length != 0) record->Body.assign(body, body + length);
  records_.push_back(std::move(record));
}

int TBaseRecordStorage::IndexOfRecord(std::uint16_t id) const {
  for (std::size_t i = 0; i < records_.size(); ++i)
    if (records_[i]->Id == id) return static_cast<int>(i);
  return -1;
}

const TStoredRecord& TBaseRecordStorage::Record(std::size_t index) const {
  if (index >= records_.size()) throw EListError(static_cast<long long>(index));
  return *records_[index];
}

void TBaseRecordStorage::SetBody(std::size_t index, std::uint16_t length, const std::uint8_t* body) {
  if (index >= records_.size()) throw EListError(static_cast<long long>(index));
  if (length == 0) records_[index]->Body.clear();
  else records_[index]->Body.assign(body, body + length);
}

std::size_t TBaseRecordStorage::TotalSize() const {
  std::size_t total = 0;
  for (const auto& record : records_) total += record->Body.size() + 4;
  return total;
}

void TBaseRecordStorage::AppendTo(TBaseRecordStorage& other) const {
  for (const auto& record : records_) other.AddRecord(record->Id, record->Length(), record->Body.data());
}

// ---------------------------------------------------------------- TRecordStorageDefault

void TRecordStorageDefault::Clear() {
  TBaseRecordStorage::Clear();
  pending_.Clear();
}

void TRecordStorageDefault::Reset() {
  Clear();
  const std::vector<TDefault>& defaults = Defaults();
  slots_.assign(defaults.size(), nullptr);
  for (std::size_t i = 0; i < defaults.size(); ++i) {
    pending_.AddRecord(defaults[i].Id, static_cast<std::uint16_t>(defaults[i].Body.size()),
                       defaults[i].Body.data());
    slots_[i] = pending_.records_.back().get();
  }
}

int TRecordStorageDefault::SlotIndex(std::uint16_t id) const {
  const std::vector<TDefault>& defaults = Defaults();
  for (std::size_t i = 0; i < defaults.size(); ++i)
    if (defaults[i].Id == id || (IsBof(id) && IsBof(defaults[i].Id))) return static_cast<int>(i);
  return -1;
}

TStoredRecord* TRecordStorageDefault::MutableSlot(std::uint16_t id) {
  int slot = SlotIndex(id);
  return slot < 0 ? nullptr : slots_[static_cast<std::size_t>(slot)];
}

const TStoredRecord* TRecordStorageDefault::Slot(std::uint16_t id) const {
  int slot = SlotIndex(id);
  return slot < 0 ? nullptr : slots_[static_cast<std::size_t>(slot)];
}

void TRecordStorageDefault::SetDefaultRecord(std::uint16_t id, std::uint16_t length, const std::uint8_t* body) {
  int slot = IsBof(id) || id < 0x8000 ? SlotIndex(id) : -1;
  if (slot < 0) throw EXLSError(Format("[int] Unknown default record %.4X", id));
  Place(slot, id, length, body);
}

void TRecordStorageDefault::MarkPosition(std::uint16_t id) {
  int slot = id >= 0x8000 ? SlotIndex(id) : -1;
  if (slot < 0) throw EXLSError(Format("[int] Unknown int. default record %.4X", id));
  Place(slot, id, 0, nullptr);
}

// The slot's record is either already in the store (a repeated default: the
// body is replaced, the length must stay) or pending: then every pending
// default up to it moves into the store, and it takes the file's record.
// The BOF slot accepts any BOF id, so a BIFF5 or BIFF2-4 BOF replaces the
// BIFF8 default the same way.
void TRecordStorageDefault::Place(int slot, std::uint16_t id, std::uint16_t length, const std::uint8_t* body) {
  TStoredRecord* target = slots_[static_cast<std::size_t>(slot)];
  auto& pending = pending_.records_;
  std::size_t at = 0;
  while (at < pending.size() && pending[at].get() != target) ++at;
  if (at == pending.size()) {
    for (const auto& record : records_) {
      if (record.get() != target) continue;
      if (record->Length() != length) throw EXLSError("Size missmatch on default record");
      if (length != 0) std::memcpy(record->Body.data(), body, length);
      record->Id = id;
      return;
    }
    throw EXLSError(Format("Excpected default record %.4X not found.", id));
  }
  for (std::size_t i = 0; i <= at; ++i) records_.push_back(std::move(pending[i]));
  pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(at) + 1);
  TStoredRecord& placed = *records_.back();
  placed.Id = id;
  if (length == 0) placed.Body.clear();
  else placed.Body.assign(body, body + length);
  // Slots of the moved defaults keep pointing at the same records, now in the store.
}

// ---------------------------------------------------------------- globals

const std::vector<TRecordStorageDefault::TDefault>& TRecordStorageGlobals::Defaults() const {
  static const std::vector<TDefault> defaults = {
      {0x0809, TBody().U16(0x0600).U16(0x0005).U16(0x1002).U16(1997).U32(0x000080C9).U32(0x00000106)},
      {0x005C, TBody().U8(0).Fill(111, 0x20)},  // WRITEACCESS: empty user name
      {0x0042, TBody().U16(1200)},              // CODEPAGE
      {0x0161, TBody().U16(0)},                 // DSF
      {0x013D, TBody()},                        // TABID
      {0x009C, TBody().U16(14)},                // FNGROUPCOUNT
      {0x0019, TBody().U16(0)},                 // WINDOWPROTECT
      {0x0012, TBody().U16(0)},                 // PROTECT
      {0x0013, TBody().U16(0)},                 // PASSWORD
      {0x01AF, TBody().U16(0)},                 // PROT4REV
      {0x003D, TBody().U16(100).U16(100).U16(10000).U16(7000).U16(0x0038).U16(0).U16(0).U16(1).U16(600)},
      {0x0040, TBody().U16(0)},                 // BACKUP
      {0x008D, TBody().U16(0)},                 // HIDEOBJ
      {0x0022, TBody().U16(0)},                 // DATEMODE
      {0x000E, TBody().U16(1)},                 // PRECISION
      {0x01B7, TBody().U16(0)},                 // REFRESHALL
      {0x00DA, TBody().U16(0)},                 // BOOKBOOL
      {0x8001, TBody()},                        // fonts, number formats, cell formats, styles
      {0x8002, TBody()},                        // sheet list
      {0x008C, TBody().U16(1).U16(46)},         // COUNTRY
      {0x01C1, TBody().U16(0x01C1).U16(0).U32(0x00FFFFFF)},  // RECALCID
      {0x8003, TBody()},                        // names and external references
      {0x8004, TBody()},                        // drawing group
      {0x8005, TBody()},                        // shared strings
      {0x000A, TBody()},                        // EOF
  };
  return defaults;
}

bool TRecordStorageGlobals::Date1904() const {
  const TStoredRecord* record = Slot(0x0022);
  return record->Body.size() >= 2 && GetU16(record->Body.data()) == 1;
}

// ---------------------------------------------------------------- sheet

const std::vector<TRecordStorageDefault::TDefault>& TRecordStorageSheet::Defaults() const {
  static const std::vector<TDefault> defaults = {
      {0x0809, TBody().U16(0x0600).U16(0x0010).U16(0x18AF).U16(1997).U32(0x000080C9).U32(0x00000106)},
      {0x000D, TBody().U16(1)},      // CALCMODE
      {0x000C, TBody().U16(100)},    // CALCCOUNT
      {0x000F, TBody().U16(1)},      // REFMODE
      {0x0011, TBody().U16(0)},      // ITERATION
      {0x0010, TBody().Double(0.001)},  // DELTA
      {0x005F, TBody().U16(1)},      // SAVERECALC
      {0x002B, TBody().U16(0)},      // PRINTGRIDLINES
      {0x002A, TBody().U16(0)},      // PRINTHEADERS
      {0x0082, TBody().U16(1)},      // GRIDSET
      {0x0080, TBody().U16(0).U16(0).U16(0).U16(0)},  // GUTS
      {0x0225, TBody().U16(0).U16(255)},              // DEFAULTROWHEIGHT
      {0x0081, TBody().U16(0x04C1)},  // WSBOOL
      {0x8101, TBody()},              // page breaks
      {0x8102, TBody()},              // header and footer
      {0x8103, TBody()},              // margins
      {0x0083, TBody().U16(0)},       // HCENTER
      {0x0084, TBody().U16(0)},       // VCENTER
      {0x00A1, TBody().U16(0).U16(100).U16(1).U16(1).U16(1).U16(0x06B6).U16(600).U16(600).Double(0.5).Double(0.5).U16(0)},
      {0x0012, TBody().U16(0)},       // PROTECT
      {0x0055, TBody().U16(8)},       // DEFCOLWIDTH
      {0x0200, TBody().Fill(14, 0)},  // DIMENSIONS
      {0x8104, TBody()},              // column information
      {0x8105, TBody()},              // never marked by the reader
      {0x023E, TBody().U16(0x04B6).U16(0).U16(0).U32(64).U16(0).U16(0).U32(0)},  // WINDOW2
      {0x8106, TBody()},              // drawings, notes, merged cells
      {0x001D, TBody().U8(3).U16(1).U16(1).U16(0).U16(1).U16(1).U16(1).U8(1).U8(1)},  // SELECTION
      {0x000A, TBody()},              // EOF
  };
  return defaults;
}

namespace {

// A 16-bit setting from the first bytes of a slot's body, or the fallback
// when a broken file stored a shorter body.
std::uint16_t SlotU16(const TStoredRecord* record, std::uint16_t fallback) {
  return record->Body.size() >= 2 ? GetU16(record->Body.data()) : fallback;
}

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  PutU16(p, static_cast<std::uint16_t>(v));
  PutU16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

constexpr std::size_t kDimensionsSize = 14;

}  // namespace

std::uint16_t TRecordStorageSheet::CalcMode() const { return SlotU16(Slot(0x000D), 1); }
std::int16_t TRecordStorageSheet::CalcCount() const { return static_cast<std::int16_t>(SlotU16(Slot(0x000C), 100)); }
std::uint16_t TRecordStorageSheet::RefMode() const { return SlotU16(Slot(0x000F), 1); }
std::uint16_t TRecordStorageSheet::Iteration() const { return SlotU16(Slot(0x0011), 0); }
std::uint16_t TRecordStorageSheet::SaveRecalc() const { return SlotU16(Slot(0x005F), 1); }
std::uint16_t TRecordStorageSheet::Window2Options() const { return SlotU16(Slot(0x023E), 0); }

double TRecordStorageSheet::Delta() const {
  const TStoredRecord* record = Slot(0x0010);
  return record->Body.size() >= 8 ? GetDouble(record->Body.data()) : 0.001;
}

std::uint32_t TRecordStorageSheet::DimU32(std::size_t offset) const {
  const std::vector<std::uint8_t>& body = Slot(0x0200)->Body;
  return body.size() >= offset + 4 ? GetU32(body.data() + offset) : 0;
}
std::uint16_t TRecordStorageSheet::DimU16(std::size_t offset) const {
  const std::vector<std::uint8_t>& body = Slot(0x0200)->Body;
  return body.size() >= offset + 2 ? GetU16(body.data() + offset) : 0;
}
std::uint32_t TRecordStorageSheet::DimFirstRow() const { return DimU32(0); }
std::uint32_t TRecordStorageSheet::DimLastRowPlus1() const { return DimU32(4); }
std::uint16_t TRecordStorageSheet::DimFirstCol() const { return DimU16(8); }
std::uint16_t TRecordStorageSheet::DimLastColPlus1() const { return DimU16(10); }

std::uint8_t* TRecordStorageSheet::DimensionsBody() {
  std::vector<std::uint8_t>& body = MutableSlot(0x0200)->Body;
  if (body.size() < kDimensionsSize) body.resize(kDimensionsSize, 0);
  return body.data();
}
void TRecordStorageSheet::SetDimFirstRow(std::uint32_t value) { PutU32(DimensionsBody(), value); }
void TRecordStorageSheet::SetDimLastRowPlus1(std::uint32_t value) { PutU32(DimensionsBody() + 4, value); }
void TRecordStorageSheet::SetDimFirstCol(std::uint16_t value) { PutU16(DimensionsBody() + 8, value); }
void TRecordStorageSheet::SetDimLastColPlus1(std::uint16_t value) { PutU16(DimensionsBody() + 10, value); }
void TRecordStorageSheet::SetDimensions(std::uint32_t first_row, std::uint32_t last_row_plus1,
                                        std::uint16_t first_col, std::uint16_t last_col_plus1) {
  SetDimFirstRow(first_row);
  SetDimLastRowPlus1(last_row_plus1);
  SetDimFirstCol(first_col);
  SetDimLastColPlus1(last_col_plus1);
}

}  // namespace gridport
