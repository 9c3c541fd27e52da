#include "workbook/cell_storage.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace gridport {
namespace {

using TPos = std::pair<unsigned, unsigned>;  // (col, row)

std::vector<TPos> Walk(TCellStorage& s) {
  std::vector<TPos> order;
  s.ResetIteration();
  while (TCell* c = s.NextCell()) order.emplace_back(c->Col(), c->Row());
  return order;
}

TEST(CellStorage, NewStorageIsEmpty) {
  TCellStorage s;
  EXPECT_EQ(s.Find(0, 0), nullptr);
  EXPECT_EQ(s.Find(kMaxColumn, kMaxRow), nullptr);
  EXPECT_EQ(s.Find(kMaxColumn + 1, 0), nullptr);
  s.ScanUsedArea();
  EXPECT_EQ(s.MinCol(), 0);
  EXPECT_EQ(s.MaxCol(), 0);
  EXPECT_EQ(s.MinRow(), 0);
  EXPECT_EQ(s.MaxRow(), 0);
  EXPECT_EQ(s.NextCell(), nullptr);
}

TEST(CellStorage, CornersAreStoredAndScanned) {
  TCellStorage s;
  s.InsertNew<TFloatCell>(0, 0, 15, 1.0);
  s.InsertNew<TFloatCell>(kMaxColumn, kMaxRow, 15, 2.0);
  ASSERT_NE(s.Find(0, 0), nullptr);
  ASSERT_NE(s.Find(kMaxColumn, kMaxRow), nullptr);
  EXPECT_EQ(s.Find(kMaxColumn, kMaxRow)->As<TFloatCell>()->Value(), 2.0);
  EXPECT_EQ(s.Find(0, 0)->As<TFloatCell>()->Value(), 1.0);
  EXPECT_EQ(s.Find(kMaxColumn, kMaxRow)->Row(), kMaxRow);
  s.ScanUsedArea();
  EXPECT_EQ(s.MinCol(), 0);
  EXPECT_EQ(s.MaxCol(), kMaxColumn);
  EXPECT_EQ(s.MinRow(), 0);
  EXPECT_EQ(s.MaxRow(), static_cast<std::int32_t>(kMaxRow));
}

TEST(CellStorage, PositionsBeyondTheLimitsAreRejected) {
  TCellStorage s;
  EXPECT_THROW(s.InsertNew<TBlankCell>(kMaxColumn + 1, 0, 0), EXLSError);
  EXPECT_THROW(s.InsertNew<TBlankCell>(0, kMaxRow + 1, 0), EXLSError);
  EXPECT_THROW(s.InsertNew<TBlankCell>(0, 0xFFFFFFFFu, 0), EXLSError);
  try {
    s.InsertNew<TBlankCell>(0, 2000000, 0);
  } catch (const EXLSError& e) {
    EXPECT_STREQ(e.what(), "Cell position out of range: column 0, row 2000000 (limits 16383, 1048575)");
  }
  EXPECT_EQ(s.CellCount(), 0u);
  EXPECT_EQ(Walk(s).size(), 0u);
}

TEST(CellStorage, BlocksAreAllocatedPerRegion) {
  TCellStorage s;
  const std::size_t empty = s.ReservedBytes();
  s.InsertNew<TBlankCell>(130, 5, 0);
  const std::size_t one = s.ReservedBytes();
  EXPECT_GT(one, empty);
  s.InsertNew<TBlankCell>(131, 5, 0);
  EXPECT_EQ(s.ReservedBytes(), one) << "same cell block: nothing new";
  EXPECT_NE(s.Find(130, 5), nullptr);
  EXPECT_EQ(s.Find(2, 5), nullptr) << "column-group 0 of row 5 was never allocated";
  EXPECT_EQ(s.Find(130, 6), nullptr);
}

TEST(CellStorage, RowWideningPastColumn127KeepsItsCells) {
  TCellStorage s;
  for (std::uint16_t col = 0; col < 128; col += 9) s.InsertNew<TFloatCell>(col, 77, 0, col);
  const std::size_t narrow = s.ReservedBytes();
  s.InsertNew<TFloatCell>(5000, 77, 0, 5000);
  EXPECT_GT(s.ReservedBytes(), narrow);
  for (std::uint16_t col = 0; col < 128; col += 9) {
    ASSERT_NE(s.Find(col, 77), nullptr) << col;
    EXPECT_EQ(s.Find(col, 77)->As<TFloatCell>()->Value(), col);
  }
  EXPECT_EQ(s.Row(77).At(5000)->As<TFloatCell>()->Value(), 5000);
  EXPECT_EQ(s.Find(128, 77), nullptr);
  std::vector<TPos> expected;
  for (unsigned col = 0; col < 128; col += 9) expected.emplace_back(col, 77);
  expected.emplace_back(5000, 77);
  EXPECT_EQ(Walk(s), expected);
}

// A row's column group grows with its last column (to 127, to 511, beyond), in any order of
// stores; every step keeps the cells stored before it, and the rows beside it stay apart.
TEST(CellStorage, RowGroupsWidenStepByStep) {
  const std::vector<std::vector<std::uint16_t>> rows = {
      {0, 31, 127, 128, 511, 512, kMaxColumn},  // short, middle, full
      {200, 511, 3, 64},                        // middle from the start
      {0, 100, 5000, 127},                      // short to full at once
      {kMaxColumn, 0, 511},                     // full from the start
      {130, 600},                               // middle to full
      {5},                                      // short only
  };
  TCellStorage s;
  std::vector<TPos> expected;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::uint16_t col : rows[r]) {
      s.InsertNew<TFloatCell>(col, static_cast<std::uint32_t>(r), 0, col + 100000.0 * r);
      expected.emplace_back(col, r);
    }
  }
  for (const TPos& pos : expected) {
    const auto col = static_cast<std::uint16_t>(pos.first);
    const double value = pos.first + 100000.0 * pos.second;
    ASSERT_NE(s.Find(col, pos.second), nullptr) << pos.first << "," << pos.second;
    EXPECT_EQ(s.Find(col, pos.second)->As<TFloatCell>()->Value(), value);
    ASSERT_NE(s.Row(pos.second).At(col), nullptr);
    EXPECT_EQ(s.Row(pos.second).At(col)->As<TFloatCell>()->Value(), value);
  }
  EXPECT_EQ(s.Find(1, 0), nullptr);
  EXPECT_EQ(s.Find(512, 1), nullptr) << "beyond a middle group";
  EXPECT_EQ(s.Row(1).At(600), nullptr);
  EXPECT_EQ(s.Row(5).At(200), nullptr) << "beyond a short group";
  std::sort(expected.begin(), expected.end(), [](const TPos& a, const TPos& b) {
    return a.second != b.second ? a.second < b.second : a.first < b.first;
  });
  EXPECT_EQ(Walk(s), expected);
  std::vector<unsigned> seen;
  s.Row(0).ForEachCell(100, 600, [&](TCell& c) { seen.push_back(c.Col()); });
  EXPECT_EQ(seen, (std::vector<unsigned>{127, 128, 511, 512}));
  s.ScanUsedArea();
  EXPECT_EQ(s.MaxCol(), kMaxColumn);
  EXPECT_EQ(s.MaxRow(), 5);
}

// A row that ends below column 512 takes a 64-byte column group, not the 2 KiB one.
TEST(CellStorage, RowsUpToColumn511TakeNoFullGroup) {
  TCellStorage wide, middle;
  for (std::uint32_t row = 0; row < 2000; ++row) {
    wide.InsertNew<TBlankCell>(600, row, 0);
    middle.InsertNew<TBlankCell>(200, row, 0);
  }
  EXPECT_GT(wide.ReservedBytes(), middle.ReservedBytes() + 2000 * (2048 - 64));
}

TEST(CellStorage, ReplacingTakesTheOldFormat) {
  TCellStorage s;
  s.InsertNew<TFloatCell>(3, 4, 21, 1.0);
  TCell& second = s.InsertNew<TBooleanCell>(3, 4, 15, 1);
  EXPECT_EQ(second.FormatIndex(), 21);
  EXPECT_EQ(s.Find(3, 4), &second);
  EXPECT_EQ(s.CellCount(), 1u) << "the first cell was destroyed";

  TCell& placed = s.PlaceNew<TBlankCell>(3, 4, 7);
  EXPECT_EQ(placed.FormatIndex(), 7) << "PlaceNew keeps its own format";
  EXPECT_EQ(s.CellCount(), 1u);
}

TEST(CellStorage, DeletingKeepsBlocksAndForgetsTheLastCell) {
  TCellStorage s;
  s.InsertNew<TFloatCell>(1, 1, 0, 1.0);
  s.InsertNew<TFloatCell>(200, 3000, 0, 2.0);
  const std::size_t reserved = s.ReservedBytes();
  ASSERT_NE(s.Find(200, 3000), nullptr);  // remembered as last
  s.DeleteCell(200, 3000);
  EXPECT_EQ(s.Find(200, 3000), nullptr);
  s.DeleteCell(1, 1);
  s.DeleteCell(1, 1);      // nothing there any more
  s.DeleteCell(9, 99999);  // never allocated
  EXPECT_EQ(s.ReservedBytes(), reserved);
  s.ScanUsedArea();
  EXPECT_EQ(s.MinCol(), 0);
  EXPECT_EQ(s.MaxCol(), 0);
  EXPECT_EQ(s.MinRow(), 0);
  EXPECT_EQ(s.MaxRow(), 0);
  // Freed slots are reused.
  s.InsertNew<TFloatCell>(5, 5, 0, 3.0);
  EXPECT_EQ(s.ReservedBytes(), reserved);
}

// The used area is kept as cells go in and rescanned after cells leave; after
// every step it must equal the bounds of the cells a walk finds.
TEST(CellStorage, UsedAreaFollowsEveryChange) {
  enum TOp { opInsert, opDelete, opMove, opReject, opClear };
  struct TStep {
    TOp op;
    unsigned col, row, toCol, toRow;
  };
  const TStep steps[] = {
      {opInsert, 5, 7, 0, 0},      {opInsert, 300, 2, 0, 0}, {opInsert, 5, 7, 0, 0},  // replace in place
      {opReject, 0, kMaxRow + 1, 0, 0},                                                 // stores nothing
      {opDelete, 300, 2, 0, 0},    {opInsert, 1, 9000, 0, 0}, {opMove, 1, 9000, 2, 3},
      {opMove, 5, 7, 40, 1},       {opDelete, 40, 1, 0, 0},  {opDelete, 2, 3, 0, 0},   // empty again
      {opInsert, 9, 9, 0, 0},      {opClear, 0, 0, 0, 0},    {opInsert, 3, 4, 0, 0},
  };
  TCellStorage s;
  int index = 0;
  for (const TStep& step : steps) {
    switch (step.op) {
      case opInsert: s.InsertNew<TBlankCell>(step.col, step.row, 0); break;
      case opDelete: s.DeleteCell(step.col, step.row); break;
      case opMove: s.PlaceCell(step.toCol, step.toRow, s.DetachCell(step.col, step.row)); break;
      case opReject: EXPECT_THROW(s.InsertNew<TBlankCell>(step.col, step.row, 0), EXLSError); break;
      case opClear: s.ClearCells(); break;
    }
    std::int32_t minCol = kMaxColumn, maxCol = 0, minRow = kMaxRow, maxRow = 0;
    const std::vector<TPos> cells = Walk(s);
    for (const auto& [col, row] : cells) {
      minCol = std::min<std::int32_t>(minCol, col);
      maxCol = std::max<std::int32_t>(maxCol, col);
      minRow = std::min<std::int32_t>(minRow, row);
      maxRow = std::max<std::int32_t>(maxRow, row);
    }
    if (cells.empty()) minCol = maxCol = minRow = maxRow = 0;
    s.ScanUsedArea();
    EXPECT_EQ((std::vector<std::int32_t>{s.MinCol(), s.MaxCol(), s.MinRow(), s.MaxRow()}),
              (std::vector<std::int32_t>{minCol, maxCol, minRow, maxRow}))
        << "after step " << index;
    ++index;
  }
}

TEST(CellStorage, WalksInRowThenColumnOrder) {
  TCellStorage s;
  s.InsertNew<TBlankCell>(5, 2, 0);
  s.InsertNew<TBlankCell>(1, 3, 0);
  s.InsertNew<TBlankCell>(0, 2, 0);
  s.InsertNew<TBlankCell>(300, 2, 0);
  s.InsertNew<TBlankCell>(0, 5000, 0);
  EXPECT_EQ(Walk(s), (std::vector<TPos>{{0, 2}, {5, 2}, {300, 2}, {1, 3}, {0, 5000}}));
  EXPECT_EQ(s.NextCell(), nullptr) << "the cursor stays at the end";
}

TEST(CellStorage, ClearCellsForgetsEverything) {
  TCellStorage s;
  s.InsertNew<TFloatCell>(7, 7, 0, 1.0);
  ASSERT_NE(s.Find(7, 7), nullptr);
  s.ClearCells();
  EXPECT_EQ(s.Find(7, 7), nullptr);
  EXPECT_EQ(s.CellCount(), 0u);
  s.InsertNew<TFloatCell>(7, 7, 0, 2.0);
  EXPECT_EQ(s.Find(7, 7)->As<TFloatCell>()->Value(), 2.0);
}

TEST(CellStorage, RowViewSeesOnlyItsRow) {
  TCellStorage s;
  s.InsertNew<TFloatCell>(0, 10, 0, 1.0);
  s.InsertNew<TFloatCell>(127, 10, 0, 2.0);
  s.InsertNew<TFloatCell>(128, 10, 0, 3.0);
  s.InsertNew<TFloatCell>(16000, 10, 0, 4.0);
  s.InsertNew<TFloatCell>(1, 11, 0, 5.0);
  const TRowCells row = s.Row(10);
  EXPECT_FALSE(row.Empty());
  EXPECT_TRUE(s.Row(12).Empty());
  EXPECT_TRUE(s.Row(kMaxRow + 1).Empty());
  EXPECT_EQ(row.At(1), nullptr);
  EXPECT_EQ(row.At(128)->As<TFloatCell>()->Value(), 3.0);
  EXPECT_EQ(row.At(kMaxColumn + 1), nullptr);

  std::vector<double> seen;
  row.ForEachCell(0, kMaxColumn, [&](TCell& c) { seen.push_back(c.As<TFloatCell>()->Value()); });
  EXPECT_EQ(seen, (std::vector<double>{1, 2, 3, 4}));
  seen.clear();
  row.ForEachCell(127, 128, [&](TCell& c) { seen.push_back(c.As<TFloatCell>()->Value()); });
  EXPECT_EQ(seen, (std::vector<double>{2, 3}));
  seen.clear();
  row.ForEachCell(129, 15999, [&](TCell& c) { seen.push_back(c.As<TFloatCell>()->Value()); });
  EXPECT_TRUE(seen.empty());
}

TEST(CellStorage, DetachAndPlaceMoveACell) {
  TCellStorage s;
  s.InsertNew<TFloatCell>(1, 1, 9, 1.5);
  s.InsertNew<TFloatCell>(2, 2, 3, 2.5);
  ASSERT_NE(s.Find(1, 1), nullptr);
  TDetachedCell moved = s.DetachCell(1, 1);
  ASSERT_NE(moved.Cell, nullptr);
  EXPECT_EQ(s.Find(1, 1), nullptr) << "detaching the last cell forgets it";
  s.PlaceCell(2, 2, moved);  // replaces the 2.5 cell, keeps format 9
  TCell* c = s.Find(2, 2);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->As<TFloatCell>()->Value(), 1.5);
  EXPECT_EQ(c->FormatIndex(), 9);
  EXPECT_EQ(c->Col(), 2);
  EXPECT_EQ(c->Row(), 2u);
  EXPECT_EQ(s.CellCount(), 1u);
  EXPECT_EQ(s.DetachCell(50, 50).Cell, nullptr);
}

TEST(CellStorage, SharedFormulaCellsNeedTheHook) {
  TFormulaData shared;
  shared.SharedIndex = 0;
  TCellStorage plain;
  plain.InsertNew<TNumberFormulaCell>(0, 0, 0, &shared);
  EXPECT_THROW(plain.DeleteCell(0, 0), EXLSError);
  EXPECT_NE(plain.Find(0, 0), nullptr) << "the cell stays where it was";
  EXPECT_THROW(plain.InsertNew<TFloatCell>(0, 0, 0, 1.0), EXLSError);
  EXPECT_EQ(plain.Find(0, 0)->CellKind(), ckNumberFormula) << "the replacement did not happen";
  EXPECT_EQ(plain.CellCount(), 1u);

  TCellValuesList list;
  int calls = 0;
  list.SharedFormulaHook = [&](TCellValues&, TCell& cell) {
    ++calls;
    EXPECT_EQ(cell.CellKind(), ckNumberFormula);
  };
  TCellValues& values = list.Add();
  values.InsertNew<TNumberFormulaCell>(0, 0, 0, &shared);
  values.InsertNew<TFloatCell>(0, 0, 0, 1.0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(values.Find(0, 0)->CellKind(), ckNumber);
}

TEST(CellValuesList, OwnsStoragesInOrder) {
  TCellValuesList list;
  TCellValues& a = list.Add();
  TCellValues& b = list.Add();
  EXPECT_EQ(&list[0], &a);
  EXPECT_EQ(&list[1], &b);
  EXPECT_EQ(a.Parent(), &list);
  EXPECT_THROW(list[2], EListError);
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
}  // namespace gridport
