// Stored records: the BIFF records a workbook keeps beside its model, in the
// order a workbook writer would emit them.
//
// TRecordStorageGlobals and TRecordStorageSheet start (Reset) with a list of
// pending default records in canonical order. SetDefaultRecord puts a record
// read from the file in its default's place: the defaults the file lacks are
// moved into the store ahead of it, so the store follows the file for the
// records the file has and keeps the canonical place for the rest. Each
// default has a slot through which the model reads its setting without a
// search; a slot points at the pending default until the record is placed.
// Internal marks (ids 0x8001-0x8005, 0x8101-0x8106, length 0) stand where a
// writer puts records that the model produces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gridport {

// One stored record: id and body (the length is the body's size, at most 65535).
struct TStoredRecord {
  std::uint16_t Id = 0;
  std::vector<std::uint8_t> Body;
  std::uint16_t Length() const { return static_cast<std::uint16_t>(Body.size()); }
};

class TBaseRecordStorage {
 public:
  TBaseRecordStorage() = default;
  virtual ~TBaseRecordStorage() = default;
  TBaseRecordStorage(const TBaseRecordStorage&) = delete;
  TBaseRecordStorage& operator=(const TBaseRecordStorage&) = delete;

  // Frees every record.
  virtual void Clear() { records_.clear(); }
  // Appends every record, header and body, as a writer would emit it.
  virtual void Write(std::vector<std::uint8_t>& out) const;

  // Appends a copy of a record.
  void AddRecord(std::uint16_t id, std::uint16_t length, const std::uint8_t* body);
  // Index of the first record with the id, or -1.
  int IndexOfRecord(std::uint16_t id) const;
  std::size_t Count() const { return records_.size(); }
  // Throws EListError for an index outside the store.
  const TStoredRecord& Record(std::size_t index) const;
  // Replaces the body of the record at index (its length follows the new body).
  void SetBody(std::size_t index, std::uint16_t length, const std::uint8_t* body);
  // The sum of length + 4 over all records.
  std::size_t TotalSize() const;
  // Appends copies of all records to other.
  void AppendTo(TBaseRecordStorage& other) const;

 protected:
  friend class TRecordStorageDefault;
  // Records are held by pointer so that slots stay valid while records move
  // between the pending list and the store.
  std::vector<std::unique_ptr<TStoredRecord>> records_;
};

class TRecordStorage : public TBaseRecordStorage {
 public:
  // Clears the store and rebuilds its pending defaults.
  virtual void Reset() = 0;
  virtual void AfterRead() = 0;
  // Places a record read from the file into its default's place.
  virtual void SetDefaultRecord(std::uint16_t id, std::uint16_t length, const std::uint8_t* body) = 0;
  // Places an internal mark.
  virtual void MarkPosition(std::uint16_t id) = 0;
};

class TRecordStorageDefault : public TRecordStorage {
 public:
  void Clear() override;
  void Reset() override;
  void AfterRead() override {}
  void SetDefaultRecord(std::uint16_t id, std::uint16_t length, const std::uint8_t* body) override;
  void MarkPosition(std::uint16_t id) override;

  // The record a slot refers to (placed or still pending), or null when the id
  // has no slot here. Any id whose low byte is 0x09 is the BOF slot.
  const TStoredRecord* Slot(std::uint16_t id) const;
  const TBaseRecordStorage& Pending() const { return pending_; }

 protected:
  struct TDefault {
    std::uint16_t Id;
    std::vector<std::uint8_t> Body;
  };
  // The canonical defaults of the store's kind; every entry has a slot.
  virtual const std::vector<TDefault>& Defaults() const = 0;
  // The slot's record for the model to rewrite in place.
  TStoredRecord* MutableSlot(std::uint16_t id);

 private:
  int SlotIndex(std::uint16_t id) const;
  void Place(int slot, std::uint16_t id, std::uint16_t length, const std::uint8_t* body);

  TBaseRecordStorage pending_;
  std::vector<TStoredRecord*> slots_;  // one per default, in Defaults() order
};

class TRecordStorageGlobals final : public TRecordStorageDefault {
 public:
  TRecordStorageGlobals() { Reset(); }
  // DATEMODE 1: dates count from 1904.
  bool Date1904() const;

 protected:
  const std::vector<TDefault>& Defaults() const override;
};

class TRecordStorageSheet final : public TRecordStorageDefault {
 public:
  TRecordStorageSheet() { Reset(); }
  // The calculation settings the model reads from the sheet's records
  // (CALCMODE: 0 manual, 1 automatic, 0xFFFF automatic except tables).
  std::uint16_t CalcMode() const;
  std::int16_t CalcCount() const;
  std::uint16_t RefMode() const;
  std::uint16_t Iteration() const;
  double Delta() const;
  std::uint16_t SaveRecalc() const;
  // The 16-bit options word of WINDOW2.
  std::uint16_t Window2Options() const;

  // DIMENSIONS in its BIFF8 form: first row and last row + 1 (32-bit), first
  // column and last column + 1 (16-bit). A body too short reads as zeros.
  std::uint32_t DimFirstRow() const;
  std::uint32_t DimLastRowPlus1() const;
  std::uint16_t DimFirstCol() const;
  std::uint16_t DimLastColPlus1() const;
  // Rewrite the stored DIMENSIONS body (widened to 14 bytes when shorter).
  void SetDimensions(std::uint32_t first_row, std::uint32_t last_row_plus1, std::uint16_t first_col,
                     std::uint16_t last_col_plus1);
  void SetDimFirstRow(std::uint32_t value);
  void SetDimLastRowPlus1(std::uint32_t value);
  void SetDimFirstCol(std::uint16_t value);
  void SetDimLastColPlus1(std::uint16_t value);

 protected:
  const std::vector<TDefault>& Defaults() const override;

 private:
  std::uint8_t* DimensionsBody();
  std::uint32_t DimU32(std::size_t offset) const;
  std::uint16_t DimU16(std::size_t offset) const;
};

// The Excel 2007 future records, kept in file order.
class TRecordStorageEx2007Unknown final : public TBaseRecordStorage {};

}  // namespace gridport
