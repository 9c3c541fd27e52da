// The sparse cell storage of one sheet.
//
// A four-level table addressed by (column, row): root[row / 1024] ->
// row-group block[row % 1024] -> column group[col / 32] -> cell
// block[col % 32] -> cell. Entries are 32-bit handles (0 = nothing) into
// pools owned by the storage; blocks are allocated zero-filled on the first
// store into their region and freed only by ClearCells. Find is those four
// array steps, after a check of the cell found or stored last.
//
// Memory follows the cells: a cell costs 16 bytes, a used 32-column band of
// a row a 128-byte cell block, and a row's column group is 16 bytes while
// the row only uses columns 0-127 (four bands), 64 bytes up to column 511
// (16 bands) and 2 KiB once it reaches further (all 512 bands). 1024 rows
// share one 4 KiB row-group block.
//
// Ownership: the storage owns its cells (in its cell pool) and the formula
// data of formula cells (in its byte arena); ClearCells frees all of it in
// bulk. Cell pointers returned here stay valid until that cell is replaced,
// deleted or detached-and-placed, or the storage is cleared.
//
// Positions are (column, row), 0-based. Columns above 16383 or rows above
// 1048575 cannot be stored: storing there throws EXLSError, looking there
// finds nothing.
//
// Reading a rectangle (the export): take Row(r) once per row and call
// At(col) for each column (two array steps each, no full lookup), or
// ForEachCell(firstCol, lastCol, f) to visit only the stored cells of the row
// in ascending column order. Neither touches the remembered last cell.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "workbook/cell_pools.h"
#include "workbook/cells.h"
#include "workbook/workbook_globals.h"
#include "workbook/xls_error.h"

namespace gridport {

class TCellStorage;

// The stored cells of one row. Cheap to copy; valid until a block is
// allocated or the storage is cleared (do not store cells while holding one).
class TRowCells {
 public:
  TRowCells() = default;
  bool Empty() const { return bandCount_ == 0; }
  // The cell at col of this row, or nullptr.
  TCell* At(std::uint16_t col) const;
  // Calls f(TCell&) for every stored cell with firstCol <= column <= lastCol,
  // in ascending column order.
  template <typename F>
  void ForEachCell(std::uint16_t firstCol, std::uint16_t lastCol, F&& f) const;

 private:
  friend class TCellStorage;
  TRowCells(const TCellStorage* storage, const std::uint32_t* columnGroups, std::uint32_t bandCount)
      : storage_(storage), columnGroups_(columnGroups), bandCount_(bandCount) {}
  const TCellStorage* storage_ = nullptr;
  const std::uint32_t* columnGroups_ = nullptr;  // cell-block handles, one per 32-column band
  std::uint32_t bandCount_ = 0;
};

// A cell taken out of the storage by DetachCell; PlaceCell puts it back.
struct TDetachedCell {
  std::uint32_t Handle = 0;
  TCell* Cell = nullptr;
};

class TCellStorage {
 public:
  TCellStorage() = default;
  TCellStorage(const TCellStorage&) = delete;
  TCellStorage& operator=(const TCellStorage&) = delete;
  virtual ~TCellStorage() = default;

  // Called before a formula cell of a shared formula (SharedIndex != -1)
  // leaves the storage. Throws "Can not delete shared formula" here;
  // TCellValues hands it to its list's hook.
  virtual void SharedFormulaRemoved(TCell& cell);

  // The cell at (col, row) or nullptr; a hit is remembered as the last cell.
  TCell* Find(std::uint16_t col, std::uint32_t row);

  // Builds a T(col, row, args...) in the pool and stores it at (col, row).
  // A different cell already there is destroyed, after the new cell took
  // over its format index (InsertNew) or not (PlaceNew). Throws EXLSError
  // for a position beyond the address limits, storing nothing.
  template <typename T, typename... Args>
  T& InsertNew(std::uint16_t col, std::uint32_t row, Args&&... args) {
    return Store<T>(true, col, row, std::forward<Args>(args)...);
  }
  template <typename T, typename... Args>
  T& PlaceNew(std::uint16_t col, std::uint32_t row, Args&&... args) {
    return Store<T>(false, col, row, std::forward<Args>(args)...);
  }

  // Destroys the cell at (col, row), if any.
  void DeleteCell(std::uint16_t col, std::uint32_t row);
  // Takes the cell at (col, row) out without destroying it; Cell is nullptr
  // when there was none. Put it somewhere with PlaceCell (or it stays
  // allocated until ClearCells).
  TDetachedCell DetachCell(std::uint16_t col, std::uint32_t row);
  // Stores a detached cell at (col, row) (its position changes to it),
  // destroying a cell already there, without format takeover.
  void PlaceCell(std::uint16_t col, std::uint32_t row, TDetachedCell cell);

  // The walk in row order, then column order.
  void ResetIteration() { cursor_ = {}; }
  TCell* NextCell();

  // The stored cells of one row (see TRowCells).
  TRowCells Row(std::uint32_t row) const;

  // Smallest and largest column and row over all stored cells; all four 0
  // when there is none. Read them with MinCol() and the others.
  void ScanUsedArea();
  std::int32_t MinCol() const { return minCol_; }
  std::int32_t MaxCol() const { return maxCol_; }
  std::int32_t MinRow() const { return minRow_; }
  std::int32_t MaxRow() const { return maxRow_; }

  // Destroys every cell and frees every block, in bulk.
  void ClearCells();

  // Memory held by the pools, blocks and arena (for measurements).
  std::size_t ReservedBytes() const;
  std::size_t CellCount() const { return cells_.LiveCount(); }

  // Space for formula data that lives and dies with the cells.
  void* AllocateData(std::size_t size) { return arena_.Allocate(size); }

 private:
  friend class TRowCells;
  struct TCursor {
    std::uint32_t rowGroup = 0, row = 0, band = 0, cell = 0;
  };

  TCell* CellAt(std::uint32_t handle) const { return static_cast<TCell*>(cells_.Get(handle)); }
  std::uint32_t* CellBlock(std::uint32_t handle) const {
    return static_cast<std::uint32_t*>(cellBlocks_.Get(handle));
  }
  // A row-group entry: a short column group's handle, a middle one's with kMidGroup set or a
  // full one's with kFullGroup set.
  std::uint32_t* Groups(std::uint32_t entry) const {
    const std::uint32_t handle = entry & kGroupHandle;
    return static_cast<std::uint32_t*>((entry & kFullGroup)  ? fullGroups_.Get(handle)
                                       : (entry & kMidGroup) ? midGroups_.Get(handle)
                                                             : shortGroups_.Get(handle));
  }
  static std::uint32_t BandCount(std::uint32_t entry) {
    return (entry & kFullGroup) ? kBands : (entry & kMidGroup) ? kMidBands : kShortBands;
  }
  // A zero-filled column group of the smallest size that holds band, as a row-group entry.
  std::uint32_t NewGroup(std::uint32_t band);
  static void CheckPosition(std::uint16_t col, std::uint32_t row) {
    if (col > kMaxColumn || row > kMaxRow) ThrowPosition(col, row);
  }
  [[noreturn]] static void ThrowPosition(std::uint16_t col, std::uint32_t row);
  // The cell-block entry for (col, row), allocating missing blocks.
  std::uint32_t& SlotFor(std::uint16_t col, std::uint32_t row) {
    if (row == blockRow_ && (col >> 5u) == blockBand_) return block_[col & 31u];
    return SlotForNewBlock(col, row);
  }
  std::uint32_t& SlotForNewBlock(std::uint16_t col, std::uint32_t row);
  // The cell-block entry for (col, row), or nullptr when a block is absent.
  std::uint32_t* ExistingSlot(std::uint16_t col, std::uint32_t row) const;
  // Puts handle into slot, dealing with the cell already there.
  void StoreHandle(std::uint32_t& slot, std::uint32_t handle, bool takeFormat) {
    if (slot == 0) {  // an empty position: nothing to replace
      slot = handle;
      last_ = CellAt(handle);
      return;
    }
    ReplaceHandle(slot, handle, takeFormat);
  }
  void ReplaceHandle(std::uint32_t& slot, std::uint32_t handle, bool takeFormat);
  void DestroyCell(std::uint32_t handle) { cells_.Free(handle); }

  template <typename T, typename... Args>
  T& Store(bool takeFormat, std::uint16_t col, std::uint32_t row, Args&&... args) {
    CheckPosition(col, row);
    std::uint32_t& slot = SlotFor(col, row);
    const std::uint32_t handle = cells_.Allocate(false);
    T* cell = new (cells_.Get(handle)) T(col, row, std::forward<Args>(args)...);
    try {
      StoreHandle(slot, handle, takeFormat);
    } catch (...) {
      cells_.Free(handle);
      throw;
    }
    Extend(col, row);
    return *cell;
  }

  // Bounds of the stored cells, kept as cells go in so that ScanUsedArea
  // need not walk the blocks. Deleting or detaching a cell may shrink the
  // area: the bounds are then stale until the next full scan.
  void Extend(std::uint16_t col, std::uint32_t row) {
    if (bounds_.any) {
      bounds_.minCol = std::min<std::int32_t>(bounds_.minCol, col);
      bounds_.maxCol = std::max<std::int32_t>(bounds_.maxCol, col);
      bounds_.minRow = std::min(bounds_.minRow, static_cast<std::int32_t>(row));
      bounds_.maxRow = std::max(bounds_.maxRow, static_cast<std::int32_t>(row));
    } else {
      bounds_.minCol = bounds_.maxCol = col;
      bounds_.minRow = bounds_.maxRow = static_cast<std::int32_t>(row);
      bounds_.any = true;
    }
  }
  struct TBounds {
    std::int32_t minCol = 0, maxCol = 0, minRow = 0, maxRow = 0;
    bool any = false;     // a cell was stored since the bounds were reset
    bool exact = true;    // no cell left the storage since: the bounds are the cells' own
  };

  static constexpr std::uint32_t kRowGroupEntries = 1024;
  static constexpr std::uint32_t kBandWidth = 32;                      // columns per cell block
  static constexpr std::uint32_t kBands = (kMaxColumn + 1) / kBandWidth;  // 512
  static constexpr std::uint32_t kShortBands = 4;                      // columns 0-127
  static constexpr std::uint32_t kMidBands = 16;                       // columns 0-511
  static constexpr std::uint32_t kFullGroup = 0x80000000u;
  static constexpr std::uint32_t kMidGroup = 0x40000000u;
  // Group handles stay far below this: a pool holds at most one live group per row.
  static constexpr std::uint32_t kGroupHandle = 0x3FFFFFFFu;

  std::array<std::unique_ptr<std::uint32_t[]>, kRowGroupEntries> root_{};
  TCellPool cells_;
  TSlotPool<kShortBands * 4, 12> shortGroups_;
  TSlotPool<kMidBands * 4, 10> midGroups_;
  TSlotPool<kBands * 4, 6> fullGroups_;
  TSlotPool<kBandWidth * 4, 10> cellBlocks_;
  TByteArena arena_;
  TCell* last_ = nullptr;
  TCursor cursor_;
  // The cell block SlotFor used last: readers store a row's cells in column
  // order, so most stores land in the block of the store before. Cell
  // blocks never move and are freed only by ClearCells.
  std::uint32_t blockRow_ = kNoBlockRow;
  std::uint32_t blockBand_ = 0;
  std::uint32_t* block_ = nullptr;
  static constexpr std::uint32_t kNoBlockRow = 0xFFFFFFFFu;
  std::int32_t minCol_ = 0, maxCol_ = 0, minRow_ = 0, maxRow_ = 0;
  TBounds bounds_;
};

inline TCell* TRowCells::At(std::uint16_t col) const {
  const std::uint32_t band = col >> 5u;
  if (band >= bandCount_) return nullptr;
  const std::uint32_t block = columnGroups_[band];
  if (block == 0) return nullptr;
  const std::uint32_t handle = storage_->CellBlock(block)[col & 31u];
  return handle == 0 ? nullptr : storage_->CellAt(handle);
}

template <typename F>
void TRowCells::ForEachCell(std::uint16_t firstCol, std::uint16_t lastCol, F&& f) const {
  if (bandCount_ == 0 || firstCol > lastCol) return;
  const std::uint32_t lastBand = std::min<std::uint32_t>(lastCol >> 5u, bandCount_ - 1);
  for (std::uint32_t band = firstCol >> 5u; band <= lastBand; ++band) {
    const std::uint32_t block = columnGroups_[band];
    if (block == 0) continue;
    const std::uint32_t* cells = storage_->CellBlock(block);
    const std::uint32_t from = band == (firstCol >> 5u) ? (firstCol & 31u) : 0;
    const std::uint32_t to = band == (lastCol >> 5u) ? (lastCol & 31u) : 31;
    for (std::uint32_t i = from; i <= to; ++i)
      if (cells[i] != 0) f(*storage_->CellAt(cells[i]));
  }
}

class TCellValuesList;

// The cell storage of one sheet, created through its workbook's
// TCellValuesList, which owns it.
class TCellValues : public TCellStorage {
 public:
  explicit TCellValues(TCellValuesList* parent) : parent_(parent) {}
  void SharedFormulaRemoved(TCell& cell) override;
  TCellValuesList* Parent() const { return parent_; }
  // For each shared formula of an Open XML sheet, the range it covers.
  std::vector<std::u16string> SharedFormulas;

 private:
  TCellValuesList* parent_;
};

// All sheets' cell storages of one workbook, in creation order; owns them.
class TCellValuesList {
 public:
  // Called when a cell of a shared formula leaves a storage.
  using TSharedFormulaHook = std::function<void(TCellValues& storage, TCell& cell)>;

  TCellValues& Add();
  std::size_t Count() const { return items_.size(); }
  TCellValues& operator[](std::size_t index) const;  // EListError outside
  // Frees every storage (their cells with them).
  void Clear() { items_.clear(); }

  TSharedFormulaHook SharedFormulaHook;

 private:
  std::vector<std::unique_ptr<TCellValues>> items_;
};

}  // namespace gridport
