// The record stores: canonical order of defaults, placement of file records,
// marks, slots and the store's messages.
#include "biff/record_storage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

std::vector<std::uint16_t> Ids(const TBaseRecordStorage& store) {
  std::vector<std::uint16_t> ids;
  for (std::size_t i = 0; i < store.Count(); ++i) ids.push_back(store.Record(i).Id);
  return ids;
}

std::vector<std::uint8_t> Body(std::size_t size, std::uint8_t value) { return std::vector<std::uint8_t>(size, value); }

// One step of a read: a raw record, a default record or a mark.
struct TStep {
  enum { Raw, Default, Mark } Kind;
  std::uint16_t Id;
  std::uint16_t Length = 0;
};

void Apply(TRecordStorageDefault& store, const std::vector<TStep>& steps) {
  for (const TStep& step : steps) {
    std::vector<std::uint8_t> body = Body(step.Length, static_cast<std::uint8_t>(step.Id));
    if (step.Kind == TStep::Raw) store.AddRecord(step.Id, step.Length, body.data());
    else if (step.Kind == TStep::Default) store.SetDefaultRecord(step.Id, step.Length, body.data());
    else store.MarkPosition(step.Id);
  }
}

TEST(RecordStorage, GlobalsOrderFollowsTheFileAndKeepsCanonicalPlaces) {
  struct TCase {
    const char* Name;
    std::vector<TStep> Steps;
    std::vector<std::uint16_t> Store;
  };
  const TCase cases[] = {
      {"BOF, raw, WRITEACCESS, raw, CODEPAGE",
       {{TStep::Default, 0x0809, 16}, {TStep::Raw, 0x00E1, 2}, {TStep::Default, 0x005C, 112},
        {TStep::Raw, 0x00E2, 0}, {TStep::Default, 0x0042, 2}},
       {0x0809, 0x00E1, 0x005C, 0x00E2, 0x0042}},
      {"CODEPAGE before WRITEACCESS pulls the default WRITEACCESS ahead",
       {{TStep::Default, 0x0809, 16}, {TStep::Default, 0x0042, 2}, {TStep::Default, 0x005C, 112}},
       {0x0809, 0x005C, 0x0042}},
      {"a mark places the defaults before it",
       {{TStep::Default, 0x0809, 16}, {TStep::Mark, 0x8002}},
       {0x0809, 0x005C, 0x0042, 0x0161, 0x013D, 0x009C, 0x0019, 0x0012, 0x0013, 0x01AF, 0x003D,
        0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA, 0x8001, 0x8002}},
      {"a repeated mark changes nothing",
       {{TStep::Mark, 0x8003}, {TStep::Raw, 0x0018, 20}, {TStep::Mark, 0x8003}, {TStep::Raw, 0x0018, 20}},
       {0x0809, 0x005C, 0x0042, 0x0161, 0x013D, 0x009C, 0x0019, 0x0012, 0x0013, 0x01AF, 0x003D,
        0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA, 0x8001, 0x8002, 0x008C, 0x01C1, 0x8003,
        0x0018, 0x0018}},
      {"a BIFF5 BOF takes the BOF slot", {{TStep::Default, 0x0409, 6}}, {0x0409}},
      {"EOF places everything",
       {{TStep::Default, 0x000A, 0}},
       {0x0809, 0x005C, 0x0042, 0x0161, 0x013D, 0x009C, 0x0019, 0x0012, 0x0013, 0x01AF, 0x003D,
        0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA, 0x8001, 0x8002, 0x008C, 0x01C1, 0x8003,
        0x8004, 0x8005, 0x000A}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRecordStorageGlobals store;
    Apply(store, c.Steps);
    EXPECT_EQ(Ids(store), c.Store);
  }
}

TEST(RecordStorage, SheetOrderPlacesMark8105WithTheNextDefault) {
  TRecordStorageSheet store;
  Apply(store, {{TStep::Default, 0x0809, 16}, {TStep::Default, 0x0200, 14}, {TStep::Mark, 0x8104},
                {TStep::Raw, 0x007D, 12}, {TStep::Default, 0x023E, 18}});
  std::vector<std::uint16_t> ids = Ids(store);
  const std::vector<std::uint16_t> tail = {0x0055, 0x0200, 0x8104, 0x007D, 0x8105, 0x023E};
  ASSERT_GE(ids.size(), tail.size());
  EXPECT_EQ(std::vector<std::uint16_t>(ids.end() - tail.size(), ids.end()), tail);
  EXPECT_EQ(Ids(store.Pending()), (std::vector<std::uint16_t>{0x8106, 0x001D, 0x000A}));
}

TEST(RecordStorage, DefaultContentsAndSlots) {
  TRecordStorageGlobals globals;
  const TStoredRecord* bof = globals.Slot(0x0809);
  ASSERT_NE(bof, nullptr);
  ASSERT_EQ(bof->Length(), 16);
  EXPECT_EQ(GetU16(bof->Body.data()), 0x0600);
  EXPECT_EQ(GetU16(bof->Body.data() + 2), 0x0005);
  EXPECT_EQ(GetU16(bof->Body.data() + 6), 1997);
  EXPECT_EQ(GetU32(bof->Body.data() + 8), 0x80C9u);
  EXPECT_EQ(globals.Slot(0x005C)->Length(), 112);
  EXPECT_EQ(globals.Slot(0x005C)->Body[111], 0x20);
  EXPECT_EQ(GetU16(globals.Slot(0x0042)->Body.data()), 1200);
  EXPECT_EQ(globals.Slot(0x003D)->Length(), 18);
  EXPECT_EQ(GetU16(globals.Slot(0x003D)->Body.data() + 16), 600);
  EXPECT_EQ(GetU32(globals.Slot(0x01C1)->Body.data() + 4), 0x00FFFFFFu);
  EXPECT_EQ(globals.Slot(0x0085), nullptr);  // BOUNDSHEET has no slot
  EXPECT_FALSE(globals.Date1904());
  std::uint8_t one[2] = {1, 0};
  globals.SetDefaultRecord(0x0022, 2, one);
  EXPECT_TRUE(globals.Date1904());

  TRecordStorageSheet sheet;
  EXPECT_EQ(sheet.CalcMode(), 1);  // a sheet without CALCMODE calculates automatically
  EXPECT_EQ(sheet.CalcCount(), 100);
  EXPECT_EQ(sheet.RefMode(), 1);
  EXPECT_EQ(sheet.Iteration(), 0);
  EXPECT_EQ(sheet.SaveRecalc(), 1);
  EXPECT_DOUBLE_EQ(sheet.Delta(), 0.001);
  EXPECT_EQ(sheet.Window2Options(), 0x04B6);
  EXPECT_EQ(sheet.Slot(0x00A1)->Length(), 34);
  EXPECT_DOUBLE_EQ(GetDouble(sheet.Slot(0x0010)->Body.data()), 0.001);
  EXPECT_EQ(sheet.Slot(0x001D)->Length(), 15);
  std::uint8_t manual[2] = {0xFF, 0xFF};
  sheet.SetDefaultRecord(0x000D, 2, manual);
  EXPECT_EQ(sheet.CalcMode(), 0xFFFF);
  std::uint8_t dimensions[14] = {1, 0, 0, 0, 0x10, 0x27, 0, 0, 2, 0, 9, 0, 0, 0};
  sheet.SetDefaultRecord(0x0200, 14, dimensions);
  EXPECT_EQ(sheet.DimFirstRow(), 1u);
  EXPECT_EQ(sheet.DimLastRowPlus1(), 10000u);
  EXPECT_EQ(sheet.DimFirstCol(), 2);
  EXPECT_EQ(sheet.DimLastColPlus1(), 9);
  // The model rewrites the placed record in place.
  sheet.SetDimensions(4, 5, 6, 7);
  EXPECT_EQ(sheet.Record(static_cast<std::size_t>(sheet.IndexOfRecord(0x0200))).Body,
            (std::vector<std::uint8_t>{4, 0, 0, 0, 5, 0, 0, 0, 6, 0, 7, 0, 0, 0}));
  // A broken file's short DIMENSIONS reads as zeros beyond its end and is
  // widened when the model writes it.
  TRecordStorageSheet short_dimensions;
  std::uint8_t four[4] = {9, 0, 0, 0};
  short_dimensions.SetDefaultRecord(0x0200, 4, four);
  EXPECT_EQ(short_dimensions.DimFirstRow(), 9u);
  EXPECT_EQ(short_dimensions.DimLastColPlus1(), 0);
  short_dimensions.SetDimLastColPlus1(3);
  EXPECT_EQ(short_dimensions.Slot(0x0200)->Length(), 14);
  EXPECT_EQ(short_dimensions.DimLastColPlus1(), 3);
}

TEST(RecordStorage, RepeatedDefaultKeepsTheLaterBody) {
  TRecordStorageGlobals store;
  std::vector<std::uint8_t> first = Body(18, 1), second = Body(18, 2);
  store.SetDefaultRecord(0x003D, 18, first.data());
  store.SetDefaultRecord(0x003D, 18, second.data());
  int index = store.IndexOfRecord(0x003D);
  ASSERT_GE(index, 0);
  EXPECT_EQ(store.Record(static_cast<std::size_t>(index)).Body, second);
  EXPECT_EQ(store.Slot(0x003D)->Body, second);
  int count = 0;
  for (std::uint16_t id : Ids(store)) count += id == 0x003D;
  EXPECT_EQ(count, 1);
  // A WRITEACCESS of the default length overwrites a default already moved in.
  std::vector<std::uint8_t> user = Body(112, 0x41);
  store.SetDefaultRecord(0x005C, 112, user.data());
  EXPECT_EQ(store.Slot(0x005C)->Body, user);
}

TEST(RecordStorage, Messages) {
  struct TCase {
    const char* Name;
    std::function<void(TRecordStorageDefault&)> Act;
    const char* Message;
  };
  std::vector<std::uint8_t> body = Body(20, 0);
  const TCase cases[] = {
      {"unknown default", [&](TRecordStorageDefault& s) { s.SetDefaultRecord(0x0085, 8, body.data()); },
       "[int] Unknown default record 0085"},
      {"mark id as default", [&](TRecordStorageDefault& s) { s.SetDefaultRecord(0x8001, 0, body.data()); },
       "[int] Unknown default record 8001"},
      {"unknown mark", [](TRecordStorageDefault& s) { s.MarkPosition(0x8101); },
       "[int] Unknown int. default record 8101"},
      {"file id as mark", [](TRecordStorageDefault& s) { s.MarkPosition(0x0042); },
       "[int] Unknown int. default record 0042"},
      {"size mismatch", [&](TRecordStorageDefault& s) {
         s.SetDefaultRecord(0x003D, 18, body.data());
         s.SetDefaultRecord(0x003D, 16, body.data());
       }, "Size missmatch on default record"},
      {"cleared store", [&](TRecordStorageDefault& s) {
         s.Clear();
         s.SetDefaultRecord(0x0042, 2, body.data());
       }, "Excpected default record 0042 not found."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRecordStorageGlobals store;
    try {
      c.Act(store);
      ADD_FAILURE() << "no exception";
    } catch (const EXLSError& error) {
      EXPECT_STREQ(error.what(), c.Message);
    }
  }
}

TEST(RecordStorage, ListOperations) {
  TRecordStorageEx2007Unknown store;
  std::uint8_t a[3] = {1, 2, 3};
  store.AddRecord(0x0863, 3, a);
  store.AddRecord(0x0896, 0, nullptr);
  EXPECT_EQ(store.TotalSize(), 3u + 4 + 4);
  EXPECT_EQ(store.IndexOfRecord(0x0896), 1);
  EXPECT_EQ(store.IndexOfRecord(0x0001), -1);
  std::uint8_t b[5] = {9, 9, 9, 9, 9};
  store.SetBody(0, 5, b);
  EXPECT_EQ(store.Record(0).Length(), 5);
  EXPECT_THROW(store.Record(2), EListError);
  std::vector<std::uint8_t> written;
  store.Write(written);
  EXPECT_EQ(written, (std::vector<std::uint8_t>{0x63, 0x08, 5, 0, 9, 9, 9, 9, 9, 0x96, 0x08, 0, 0}));
  TRecordStorageEx2007Unknown copy;
  store.AppendTo(copy);
  EXPECT_EQ(copy.TotalSize(), store.TotalSize());
  store.Clear();
  EXPECT_EQ(store.Count(), 0u);
}

}  // namespace
}  // namespace gridport
