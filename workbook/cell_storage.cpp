#include "workbook/cell_storage.h"

#include <algorithm>
#include <cstring>

namespace gridport {

void TCellStorage::SharedFormulaRemoved(TCell&) { throw EXLSError("Can not delete shared formula"); }

void TCellStorage::ThrowPosition(std::uint16_t col, std::uint32_t row) {
  throw EXLSError("Cell position out of range: column " + std::to_string(col) + ", row " +
                    std::to_string(row) + " (limits " + std::to_string(kMaxColumn) + ", " +
                    std::to_string(kMaxRow) + ")");
}

TCell* TCellStorage::Find(std::uint16_t col, std::uint32_t row) {
  if (last_ != nullptr && last_->Row() == row && last_->Col() == col) return last_;
  const std::uint32_t* slot = ExistingSlot(col, row);
  if (slot == nullptr || *slot == 0) return nullptr;
  last_ = CellAt(*slot);
  return last_;
}

std::uint32_t* TCellStorage::ExistingSlot(std::uint16_t col, std::uint32_t row) const {
  if (col > kMaxColumn || row > kMaxRow) return nullptr;
  const std::uint32_t* rowGroup = root_[row >> 10].get();
  if (rowGroup == nullptr) return nullptr;
  const std::uint32_t entry = rowGroup[row & 1023];
  const std::uint32_t band = col >> 5u;
  if (entry == 0 || band >= BandCount(entry)) return nullptr;
  const std::uint32_t cells = Groups(entry)[band];
  if (cells == 0) return nullptr;
  return CellBlock(cells) + (col & 31u);
}

std::uint32_t& TCellStorage::SlotForNewBlock(std::uint16_t col, std::uint32_t row) {
  std::unique_ptr<std::uint32_t[]>& rowGroup = root_[row >> 10];
  if (!rowGroup) rowGroup = std::make_unique<std::uint32_t[]>(kRowGroupEntries);  // zero-filled
  std::uint32_t& entry = rowGroup[row & 1023];
  const std::uint32_t band = col >> 5u;
  if (entry == 0) {
    entry = NewGroup(band);
  } else if (band >= BandCount(entry)) {  // the row reaches past its group's columns: widen it
    const std::uint32_t wider = NewGroup(band);
    std::memcpy(Groups(wider), Groups(entry), BandCount(entry) * sizeof(std::uint32_t));
    if (entry & kMidGroup)
      midGroups_.Free(entry & kGroupHandle);
    else
      shortGroups_.Free(entry);
    entry = wider;
  }
  std::uint32_t& cells = Groups(entry)[band];
  if (cells == 0) cells = cellBlocks_.Allocate(true);  // pool chunks never move: the references stay valid
  blockRow_ = row;
  blockBand_ = band;
  block_ = CellBlock(cells);
  return block_[col & 31u];
}

std::uint32_t TCellStorage::NewGroup(std::uint32_t band) {
  if (band < kShortBands) return shortGroups_.Allocate(true);
  if (band < kMidBands) return midGroups_.Allocate(true) | kMidGroup;
  return fullGroups_.Allocate(true) | kFullGroup;
}

void TCellStorage::ReplaceHandle(std::uint32_t& slot, std::uint32_t handle, bool takeFormat) {
  TCell* cell = CellAt(handle);
  const std::uint32_t oldHandle = slot;
  if (oldHandle != 0 && oldHandle != handle) {
    TCell* old = CellAt(oldHandle);
    const std::uint16_t ownFormat = cell->FormatIndex();
    if (takeFormat) cell->SetFormatIndex(old->FormatIndex());
    if (const auto* formula = old->As<TFormulaCell>(); formula != nullptr && formula->SharedIndex() != -1) {
      try {
        SharedFormulaRemoved(*old);
      } catch (...) {
        cell->SetFormatIndex(ownFormat);
        throw;
      }
    }
    if (last_ == old) last_ = nullptr;
    DestroyCell(oldHandle);
  }
  slot = handle;
  last_ = cell;
}

void TCellStorage::DeleteCell(std::uint16_t col, std::uint32_t row) {
  std::uint32_t* slot = ExistingSlot(col, row);
  if (slot == nullptr || *slot == 0) return;
  TCell* cell = CellAt(*slot);
  if (last_ == cell) last_ = nullptr;
  if (const auto* formula = cell->As<TFormulaCell>(); formula != nullptr && formula->SharedIndex() != -1)
    SharedFormulaRemoved(*cell);
  DestroyCell(*slot);
  *slot = 0;
  bounds_.exact = false;
}

TDetachedCell TCellStorage::DetachCell(std::uint16_t col, std::uint32_t row) {
  std::uint32_t* slot = ExistingSlot(col, row);
  if (slot == nullptr || *slot == 0) return {};
  TDetachedCell detached{*slot, CellAt(*slot)};
  if (last_ == detached.Cell) last_ = nullptr;
  *slot = 0;
  bounds_.exact = false;
  return detached;
}

void TCellStorage::PlaceCell(std::uint16_t col, std::uint32_t row, TDetachedCell cell) {
  if (cell.Cell == nullptr) return;
  CheckPosition(col, row);
  std::uint32_t& slot = SlotFor(col, row);
  const std::uint16_t oldCol = cell.Cell->Col();
  const std::uint32_t oldRow = cell.Cell->Row();
  cell.Cell->MoveTo(col, row);
  try {
    StoreHandle(slot, cell.Handle, false);
  } catch (...) {
    cell.Cell->MoveTo(oldCol, oldRow);
    throw;
  }
  Extend(col, row);
}

TCell* TCellStorage::NextCell() {
  TCursor& c = cursor_;
  for (; c.rowGroup < kRowGroupEntries; ++c.rowGroup, c.row = 0) {
    const std::uint32_t* rowGroup = root_[c.rowGroup].get();
    if (rowGroup == nullptr) continue;
    for (; c.row < kRowGroupEntries; ++c.row, c.band = 0) {
      const std::uint32_t entry = rowGroup[c.row];
      if (entry == 0) continue;
      const std::uint32_t* groups = Groups(entry);
      for (; c.band < BandCount(entry); ++c.band, c.cell = 0) {
        if (groups[c.band] == 0) continue;
        const std::uint32_t* cells = CellBlock(groups[c.band]);
        for (; c.cell < kBandWidth; ++c.cell) {
          if (cells[c.cell] != 0) return CellAt(cells[c.cell++]);
        }
      }
    }
  }
  return nullptr;
}

TRowCells TCellStorage::Row(std::uint32_t row) const {
  if (row > kMaxRow) return {};
  const std::uint32_t* rowGroup = root_[row >> 10].get();
  if (rowGroup == nullptr || rowGroup[row & 1023] == 0) return {};
  const std::uint32_t entry = rowGroup[row & 1023];
  return TRowCells(this, Groups(entry), BandCount(entry));
}

void TCellStorage::ScanUsedArea() {
  if (bounds_.exact) {
    minCol_ = bounds_.minCol;
    maxCol_ = bounds_.maxCol;
    minRow_ = bounds_.minRow;
    maxRow_ = bounds_.maxRow;
    return;
  }
  // Start from the storage's own limits: starting from the version's limits
  // would report a first column of 255 for cells that all lie beyond it.
  std::int32_t minCol = kMaxColumn, maxCol = 0, minRow = kMaxRow, maxRow = 0;
  bool any = false;
  for (std::uint32_t g = 0; g < kRowGroupEntries; ++g) {
    const std::uint32_t* rowGroup = root_[g].get();
    if (rowGroup == nullptr) continue;
    for (std::uint32_t r = 0; r < kRowGroupEntries; ++r) {
      if (rowGroup[r] == 0) continue;
      const std::uint32_t entry = rowGroup[r];
      const std::uint32_t* groups = Groups(entry);
      bool rowUsed = false;
      for (std::uint32_t band = 0; band < BandCount(entry); ++band) {
        if (groups[band] == 0) continue;
        const std::uint32_t* cells = CellBlock(groups[band]);
        for (std::uint32_t i = 0; i < kBandWidth; ++i) {
          if (cells[i] == 0) continue;
          const auto col = static_cast<std::int32_t>(band * kBandWidth + i);
          minCol = std::min(minCol, col);
          maxCol = std::max(maxCol, col);
          rowUsed = true;
        }
      }
      if (rowUsed) {
        const auto rowIndex = static_cast<std::int32_t>(g * kRowGroupEntries + r);
        minRow = std::min(minRow, rowIndex);
        maxRow = std::max(maxRow, rowIndex);
        any = true;
      }
    }
  }
  if (!any) minCol = maxCol = minRow = maxRow = 0;
  minCol_ = minCol;
  maxCol_ = maxCol;
  minRow_ = minRow;
  maxRow_ = maxRow;
  bounds_ = TBounds{minCol, maxCol, minRow, maxRow, any, true};
}

void TCellStorage::ClearCells() {
  for (auto& rowGroup : root_) rowGroup.reset();
  cells_.Clear();
  shortGroups_.Clear();
  midGroups_.Clear();
  fullGroups_.Clear();
  cellBlocks_.Clear();
  arena_.Clear();
  last_ = nullptr;
  cursor_ = {};
  bounds_ = {};
  blockRow_ = kNoBlockRow;
  block_ = nullptr;
}

std::size_t TCellStorage::ReservedBytes() const {
  std::size_t rowGroups = 0;
  for (const auto& rowGroup : root_)
    if (rowGroup) ++rowGroups;
  return sizeof(*this) + rowGroups * kRowGroupEntries * sizeof(std::uint32_t) + cells_.ReservedBytes() +
         shortGroups_.ReservedBytes() + midGroups_.ReservedBytes() + fullGroups_.ReservedBytes() + cellBlocks_.ReservedBytes() +
         arena_.ReservedBytes();
}

void TCellValues::SharedFormulaRemoved(TCell& cell) {
  if (parent_ == nullptr) {
    TCellStorage::SharedFormulaRemoved(cell);
    return;
  }
  if (parent_->SharedFormulaHook) parent_->SharedFormulaHook(*this, cell);
}

TCellValues& TCellValuesList::Add() {
  items_.push_back(std::make_unique<TCellValues>(this));
  return *items_.back();
}

TCellValues& TCellValuesList::operator[](std::size_t index) const {
  if (index >= items_.size()) throw EListError(static_cast<long long>(index));
  return *items_[index];
}

}  // namespace gridport
