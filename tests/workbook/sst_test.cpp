#include "workbook/sst.h"

#include <gtest/gtest.h>

#include "tests/workbook/exception_message.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workbook/fonts.h"
#include "workbook/crc_register.h"
#include "workbook/record_source.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

// Little-endian byte builder for record bodies.
struct Bytes {
  std::vector<std::uint8_t> v;
  Bytes& U8(unsigned b) {
    v.push_back(static_cast<std::uint8_t>(b));
    return *this;
  }
  Bytes& U16(unsigned w) { return U8(w & 0xFF).U8((w >> 8) & 0xFF); }
  Bytes& U32(std::uint32_t d) { return U16(d & 0xFFFF).U16(d >> 16); }
  Bytes& Latin1(std::string_view s) {
    for (char c : s) U8(static_cast<std::uint8_t>(c));
    return *this;
  }
  Bytes& Utf16(std::u16string_view s) {
    for (char16_t c : s) U16(c);
    return *this;
  }
  Bytes& Append(const Bytes& other) {
    v.insert(v.end(), other.v.begin(), other.v.end());
    return *this;
  }
};

// A record stream over bytes: the SST body first (its header was read by the
// caller), then the following records with their headers.
class TMemorySource : public TRecordSource {
 public:
  TMemorySource(const Bytes& sst_body, const std::vector<std::pair<std::uint16_t, Bytes>>& next) {
    bytes_ = sst_body.v;
    for (const auto& [id, body] : next) {
      Bytes h;
      h.U16(id).U16(static_cast<unsigned>(body.v.size()));
      bytes_.insert(bytes_.end(), h.v.begin(), h.v.end());
      bytes_.insert(bytes_.end(), body.v.begin(), body.v.end());
    }
  }
  int ReadHeader(TBiffRecordHeader& header) override {
    if (bytes_.size() - pos_ < 4) {
      int n = static_cast<int>(bytes_.size() - pos_);
      pos_ = bytes_.size();
      return n;
    }
    header.Id = static_cast<std::uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    header.Length = static_cast<std::uint16_t>(bytes_[pos_ + 2] | bytes_[pos_ + 3] << 8);
    pos_ += 4;
    return 4;
  }
  std::size_t Read(void* buffer, std::size_t count) override {
    std::size_t n = std::min(count, bytes_.size() - pos_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), n, static_cast<std::uint8_t*>(buffer));
    pos_ += n;
    return n;
  }
  std::uint16_t PeekRecordId() override {
    if (bytes_.size() - pos_ < 4) return 0;
    return static_cast<std::uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
  }
  std::size_t Left() const { return bytes_.size() - pos_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kExtSst = 0x00FF;

Bytes Str8(std::string_view s) { return Bytes().U16(static_cast<unsigned>(s.size())).U8(0).Latin1(s); }
Bytes Str16(std::u16string_view s) {
  return Bytes().U16(static_cast<unsigned>(s.size())).U8(1).Utf16(s);
}
Bytes SstHead(std::uint32_t total, std::uint32_t unique) { return Bytes().U32(total).U32(unique); }

using test::Message;

struct Fixture {
  TXFonts fonts;
  TSST sst{fonts};
  void Read(const Bytes& body, const std::vector<std::pair<std::uint16_t, Bytes>>& next,
            TMemorySource** out = nullptr) {
    source = std::make_unique<TMemorySource>(body, next);
    if (out) *out = source.get();
    sst.ReadSST(*source, static_cast<std::uint32_t>(body.v.size()));
  }
  std::unique_ptr<TMemorySource> source;
};

TEST(SSTRead, RepeatedStringSharesOneEntryAndStreamStopsAfterTheRecord) {
  Fixture f;
  Bytes body = SstHead(10, 3).Append(Str8("a")).Append(Str8("b")).Append(Str8("a"));
  f.Read(body, {{kExtSst, Bytes().U16(8)}});
  EXPECT_EQ(f.sst.TotalCount(), 10u);
  ASSERT_EQ(f.sst.IndexCount(), 3u);
  EXPECT_EQ(f.sst.EntryAt(0), f.sst.EntryAt(2));
  EXPECT_NE(f.sst.EntryAt(0), f.sst.EntryAt(1));
  EXPECT_EQ(f.sst.EntryAt(0)->References(), 1) << "the repeat counts one reference";
  EXPECT_EQ(f.sst.EntryAt(1)->References(), 0);
  EXPECT_EQ(f.sst.UniqueCount(), 2u);
  EXPECT_EQ(TSST::TextOf(f.sst.EntryAt(1)), u"b");
  // The record loop goes on with the next record's header.
  TBiffRecordHeader h;
  ASSERT_EQ(f.source->ReadHeader(h), 4);
  EXPECT_EQ(h.Id, kExtSst);
  EXPECT_EQ(Message([&] { f.sst.EntryAt(3); }), "List index out of bounds (3)");
  EXPECT_EQ(Message([&] { f.sst.EntryAt(-1); }), "List index out of bounds (-1)");
}

TEST(SSTRead, UnusedBytesAtTheEndOfTheRecordAreSkipped) {
  Fixture f;
  Bytes body = SstHead(1, 1).Append(Str8("x")).U8(0xAA).U8(0xBB);
  f.Read(body, {{kExtSst, Bytes()}});
  TBiffRecordHeader h;
  ASSERT_EQ(f.source->ReadHeader(h), 4);
  EXPECT_EQ(h.Id, kExtSst);
}

// One string per case, split across records at a position that matters.
struct SplitCase {
  const char* name;
  Bytes sst_body;                // after the 8 count bytes
  std::vector<Bytes> continues;  // CONTINUE bodies
  std::u16string text;
  bool wide;
  std::vector<std::uint32_t> run_positions;
  std::vector<std::uint8_t> phonetic;
};

std::vector<SplitCase> SplitCases() {
  std::vector<SplitCase> cases;
  // 16-bit text "ЖЖЖЖ" continued with option byte 0: the rest is 8-bit and widened.
  cases.push_back({"wide text continued narrow",
                   Bytes().U16(4).U8(1).Utf16(u"ЖЖ"),
                   {Bytes().U8(0).Latin1("ab")},
                   u"ЖЖab",
                   true,
                   {},
                   {}});
  // 8-bit text continued with option byte 1: the whole text becomes 16-bit.
  cases.push_back({"narrow text continued wide",
                   Bytes().U16(4).U8(0).Latin1("ab"),
                   {Bytes().U8(1).Utf16(u"Жc")},
                   u"abЖc",
                   true,
                   {},
                   {}});
  // The same, formatted: the runs follow the widened text intact.
  cases.push_back({"rich narrow text continued wide",
                   Bytes().U16(3).U8(8).U16(2).Latin1("ab"),
                   {Bytes().U8(1).Utf16(u"Ж").U16(0).U16(0).U16(2).U16(1)},
                   u"abЖ",
                   true,
                   {0, 2},
                   {}});
  // 8-bit pieces only: the text stays 8-bit, across three records.
  cases.push_back({"narrow in three pieces",
                   Bytes().U16(5).U8(0).Latin1("ab"),
                   {Bytes().U8(0).Latin1("cd"), Bytes().U8(0).Latin1("e")},
                   u"abcde",
                   false,
                   {},
                   {}});
  // The runs (not the text) cross into the CONTINUE record: no option byte there.
  cases.push_back({"runs cross the record end",
                   Bytes().U16(2).U8(8).U16(2).Latin1("xy").U16(0).U16(0).U8(1),
                   {Bytes().U8(0).U16(1)},
                   u"xy",
                   false,
                   {0, 1},
                   {}});
  // Phonetic bytes cross into the CONTINUE record.
  cases.push_back({"phonetic data crosses the record end",
                   Bytes().U16(1).U8(4).U32(5).Latin1("p").U8(1).U8(2),
                   {Bytes().U8(3).U8(4).U8(5)},
                   u"p",
                   false,
                   {},
                   {1, 2, 3, 4, 5}});
  // The string header fills the record; the text starts in the CONTINUE
  // record after its option byte.
  cases.push_back({"split between header and text",
                   Bytes().U16(3).U8(0),
                   {Bytes().U8(0).Latin1("abc")},
                   u"abc",
                   false,
                   {},
                   {}});
  // The string starts exactly at the record boundary.
  cases.push_back({"string starts in the CONTINUE record", Bytes(), {Str8("abc")}, u"abc", false, {}, {}});
  cases.push_back({"16-bit string starts in the CONTINUE record", Bytes(), {Str16(u"Жa")}, u"Жa", true, {}, {}});
  // The header fields themselves straddle the record end (no option byte).
  cases.push_back({"header split after the character count",
                   Bytes().U16(2).U8(12).U8(1),
                   {Bytes().U8(0).U32(1).Latin1("hi").U16(1).U16(0).U8(9)},
                   u"hi",
                   false,
                   {1},
                   {9}});
  return cases;
}

TEST(SSTRead, ContinueSplitsAtEveryPositionThatMatters) {
  for (const SplitCase& c : SplitCases()) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Bytes body = SstHead(1, 1).Append(c.sst_body);
    std::vector<std::pair<std::uint16_t, Bytes>> next;
    for (const Bytes& b : c.continues) next.push_back({kContinue, b});
    next.push_back({kExtSst, Bytes()});
    f.Read(body, next);
    ASSERT_EQ(f.sst.IndexCount(), 1u);
    const TSSTEntry* e = f.sst.EntryAt(0);
    EXPECT_EQ(TSST::TextOf(e), c.text);
    EXPECT_EQ(e->IsWide(), c.wide);
    ASSERT_EQ(e->Runs().size(), c.run_positions.size());
    for (std::size_t i = 0; i < c.run_positions.size(); ++i) {
      EXPECT_EQ(e->Runs()[i].Position, c.run_positions[i]);
      EXPECT_EQ(e->Runs()[i].Font, f.fonts[i]) << "run " << i << " names font " << i;
    }
    EXPECT_EQ(std::vector<std::uint8_t>(e->Phonetic().begin(), e->Phonetic().end()), c.phonetic);
    TBiffRecordHeader h;
    ASSERT_EQ(f.source->ReadHeader(h), 4);
    EXPECT_EQ(h.Id, kExtSst) << "every CONTINUE record was consumed";
  }
}

// A table that claims more strings than its records hold ends with its data:
// the strings that are there stay, the next record is left for the record
// loop, and a position past them fails when a cell asks for it.
TEST(SSTRead, ClaimedStringsBeyondTheDataAreNotRead) {
  struct Case {
    const char* name;
    Bytes body;
    std::vector<std::pair<std::uint16_t, Bytes>> next;
    std::size_t strings_kept;
  };
  std::vector<Case> cases = {
      {"15 claimed, 2 stored, EXTSST follows", SstHead(12, 15).Append(Str8("a")).Append(Str8("b")),
       {{kExtSst, Bytes().U16(8)}}, 2},
      {"1761 claimed, none stored", SstHead(0, 1761), {{kExtSst, Bytes().U16(8)}}, 0},
      {"the last string ends a CONTINUE record", SstHead(3, 3).Append(Str8("a")),
       {{kContinue, Str8("b")}, {0x00FD, Bytes().U32(7)}}, 2},
      {"the stream ends after the table", SstHead(5, 0xFFFFFFFF).Append(Str8("a")), {}, 1},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    TMemorySource* source = nullptr;
    f.Read(c.body, c.next, &source);
    EXPECT_EQ(f.sst.IndexCount(), c.strings_kept);
    if (c.strings_kept > 0) {
      EXPECT_EQ(TSST::TextOf(f.sst.EntryAt(0)), u"a");
    }
    const long long past = static_cast<long long>(c.strings_kept);
    EXPECT_EQ(Message([&] { f.sst.EntryAt(past); }),
              "List index out of bounds (" + std::to_string(past) + ")");
    TBiffRecordHeader h;
    if (c.next.empty()) {
      EXPECT_EQ(source->Left(), 0u);
    } else {
      ASSERT_EQ(source->ReadHeader(h), 4);
      EXPECT_EQ(h.Id, c.next.back().first) << "the record after the table is left unread";
    }
  }
}

TEST(SSTRead, FailuresCarryTheirMessagesAndKeepEarlierStrings) {
  struct Case {
    const char* name;
    Bytes body;
    std::vector<std::pair<std::uint16_t, Bytes>> next;
    std::string message;
    std::size_t strings_kept;
  };
  std::vector<Case> cases = {
      {"text continued in a non-CONTINUE record",
       SstHead(1, 1).U16(4).U8(0).Latin1("ab"),
       {{0x0208, Bytes().U8(0).Latin1("cd")}},
       "CONTINUE record is missing in SST",
       0},
      {"unknown option flags", SstHead(1, 1).U16(1).U8(0x02).Latin1("a"), {},
       "STT: Unhandled string type in Read (02)", 0},
      {"option flags with a high bit", SstHead(1, 1).U16(1).U8(0x81).Latin1("a"), {},
       "STT: Unhandled string type in Read (81)", 0},
      {"run names a font outside the font list",
       SstHead(1, 1).U16(1).U8(8).U16(1).Latin1("a").U16(0).U16(99),
       {},
       "List index out of bounds (99)",
       0},
      {"phonetic size larger than the data",
       SstHead(1, 1).U16(1).U8(4).U32(0xFFFFFFF0).Latin1("a").U8(1),
       {{kContinue, Bytes().U8(2)}},
       "CONTINUE record is missing in SST",
       0},
      {"16-bit character split by the record end",
       SstHead(1, 1).U16(2).U8(1).U16(u'Ж').U8(0x16),
       {{kContinue, Bytes().U8(1).U16(u'Ж')}},
       "SST string character split by a record end",
       0},
      {"stream ends inside the record", SstHead(1, 1).U16(3).U8(0).Latin1("ab"), {},
       "Unexpected end of SST data", 0},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    std::uint32_t size = static_cast<std::uint32_t>(c.body.v.size());
    if (std::string(c.name) == "stream ends inside the record") ++size;  // claims one byte more
    TMemorySource source(c.body, c.next);
    EXPECT_EQ(Message([&] { f.sst.ReadSST(source, size); }), c.message);
    EXPECT_EQ(f.sst.IndexCount(), c.strings_kept);
    EXPECT_EQ(f.sst.UniqueCount(), c.strings_kept) << "a failing string leaves no entry";
    for (int i = 0; i < f.fonts.Count(); ++i) EXPECT_EQ(f.fonts[i]->Usage, 0);
  }
}

// The strings of an SST are filed by content after they are read: a repeat
// further apart than the look-ahead, a repeat of a string the table already
// held, and the strings read before a failure must all be found by content.
TEST(SSTRead, StringsAreFiledByContentUpToAFailure) {
  Fixture f;
  TSSTEntry* before = f.sst.AddSharedString(u"s5");
  Bytes body = SstHead(30, 22);
  for (int i = 0; i < 20; ++i) body.Append(Str8(i == 12 ? "s0" : "s" + std::to_string(i)));
  body.U16(1).U8(0x02).Latin1("x");  // the 21st string fails
  TMemorySource source(body, {});
  EXPECT_EQ(Message([&] { f.sst.ReadSST(source, static_cast<std::uint32_t>(body.v.size())); }),
            "STT: Unhandled string type in Read (02)");
  ASSERT_EQ(f.sst.IndexCount(), 21u);
  EXPECT_EQ(f.sst.UniqueCount(), 19u);
  EXPECT_EQ(f.sst.EntryAt(6), before);
  EXPECT_EQ(before->References(), 1);
  EXPECT_EQ(f.sst.EntryAt(13), f.sst.EntryAt(1));
  EXPECT_EQ(f.sst.EntryAt(1)->References(), 1);
  EXPECT_EQ(TSST::TextOf(f.sst.EntryAt(20)), u"s19");
  EXPECT_EQ(f.sst.AddString(u"s19"), f.sst.EntryAt(20));
  EXPECT_EQ(f.sst.EntryAt(20)->References(), 1);
}

TEST(SSTRead, RunsCountFontUsageOncePerKeptEntry) {
  Fixture f;
  Bytes rich = Bytes().U16(2).U8(8).U16(2).Latin1("ab").U16(0).U16(3).U16(1).U16(3);
  Bytes body = SstHead(2, 2).Append(rich).Append(rich);
  f.Read(body, {});
  EXPECT_EQ(f.sst.EntryAt(0), f.sst.EntryAt(1));
  EXPECT_EQ(f.fonts[3]->Usage, 2) << "two runs of the one entry kept";
  const TSSTEntry* e = f.sst.EntryAt(0);
  EXPECT_EQ(e->RunAt(1).Position, 1u);
  EXPECT_EQ(Message([&] { e->RunAt(2); }), "FormatIndedx out of range");
  f.sst.AddString(u"plain");
  EXPECT_EQ(Message([&] { f.sst.AddString(u"plain")->RunAt(0); }),
            "String is not formatted");
}

// ---- cells' strings and reference counting ----

TEST(SSTStrings, CellStringsAreCountedAndRemovedAtTheLastRelease) {
  TXFonts fonts;
  TSST sst(fonts);
  TSSTEntry* a = sst.AddString(u"x");
  EXPECT_EQ(sst.AddString(u"x"), a);
  EXPECT_EQ(a->References(), 2);
  EXPECT_EQ(sst.TotalCount(), 2u);
  sst.Release(a);
  EXPECT_EQ(sst.UniqueCount(), 1u);
  sst.Release(a);
  EXPECT_EQ(sst.UniqueCount(), 0u);
  EXPECT_EQ(sst.TotalCount(), 1u);
  // The text can be added again after removal.
  EXPECT_EQ(sst.AddString(u"x")->References(), 1);
}

TEST(SSTStrings, WidthFollowsTheCharactersAndWidthsNeverMix) {
  TXFonts fonts;
  TSST sst(fonts);
  TSSTEntry* cafe = sst.AddString(u"caf\u00E9");
  EXPECT_FALSE(cafe->IsWide());
  EXPECT_EQ(cafe->Text().Latin1(), std::string_view("caf\xE9", 4));
  EXPECT_EQ(TSST::TextOf(cafe), u"caf\u00E9");
  TSSTEntry* cyr = sst.AddString(u"Жук");
  EXPECT_TRUE(cyr->IsWide());
  EXPECT_EQ(cyr->Text().Utf16(), u"Жук");
  // Two 8-bit characters 0x16 0x04 are the bytes of the one 16-bit character U+0416.
  TSSTEntry* narrow = sst.AddString(u"\x16\x04");
  TSSTEntry* wide = sst.AddString(u"\u0416");
  EXPECT_NE(narrow, wide);
  EXPECT_EQ(TSST::TextOf(narrow), u"\x16\x04");
  TSSTEntry* empty = sst.AddString(u"");
  EXPECT_EQ(empty->Characters(), 0u);
  EXPECT_EQ(sst.AddString(u""), empty);
  EXPECT_EQ(TSST::TextOf(empty), u"");
}

// The table hashes 8-bit text stored as bytes (read from a file) and 8-bit
// text given as code units (a cell's string) alike: both must reach one
// entry at every length around the hash's 8-byte steps, and texts that differ
// only by trailing zero characters stay apart.
TEST(SSTStrings, FileStringsAndCellStringsMeetInOneEntry) {
  const std::u16string texts[] = {u"",         u"a",         u"caf\u00E9", u"1234567",  u"12345678",
                                  u"123456789", u"ab\u00FF\u00FFcdefghijklmn", u"ab", std::u16string(u"ab\0", 3),
                                  u"Жук в траве"};
  Fixture f;
  Bytes body = SstHead(std::size(texts), std::size(texts));
  for (const std::u16string& t : texts) {
    bool wide = false;
    for (char16_t c : t) wide |= c > 0xFF;
    if (wide) {
      body.Append(Str16(t));
    } else {
      std::string bytes(t.begin(), t.end());
      body.Append(Str8(bytes));
    }
  }
  f.Read(body, {});
  ASSERT_EQ(f.sst.UniqueCount(), std::size(texts));
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    SCOPED_TRACE(i);
    TSSTEntry* read = f.sst.EntryAt(static_cast<long long>(i));
    EXPECT_EQ(TSST::TextOf(read), texts[i]);
    EXPECT_EQ(f.sst.AddString(texts[i]), read);
    EXPECT_EQ(read->References(), 1);
  }
  EXPECT_EQ(f.sst.UniqueCount(), std::size(texts));
}

TEST(SSTStrings, TextViewAppendsWithoutLosingEarlierText) {
  TXFonts fonts;
  TSST sst(fonts);
  std::u16string out = u"<";
  sst.AddString(u"ab\u00FF")->Text().AppendTo(out);
  sst.AddString(u"Ж")->Text().AppendTo(out);
  EXPECT_EQ(out, u"<ab\u00FFЖ");
  sst.AddString(u"z")->Text().AssignTo(out);
  EXPECT_EQ(out, u"z");
}

TEST(SSTStrings, SharedStringsFillTheIndexAndSurviveReleaseUntilDropped) {
  TXFonts fonts;
  TSST sst(fonts);
  sst.AddSharedString(u"first");
  TSSTEntry* second = sst.AddSharedString(u"second");
  EXPECT_EQ(sst.AddSharedString(u"first"), sst.EntryAt(0));
  EXPECT_EQ(sst.EntryAt(0)->References(), 1);
  EXPECT_EQ(second->Slot(), 1u);
  EXPECT_EQ(sst.TotalCount(), 3u);
  // Two cells refer to position 1.
  sst.AddReference(sst.EntryAt(1));
  sst.AddReference(sst.EntryAt(1));
  sst.Release(second);
  EXPECT_EQ(second->References(), 1) << "releasing one leaves the entry";
  sst.Release(second);
  // The index still holds the entry: a later cell of the read may use it.
  EXPECT_EQ(sst.EntryAt(1), second);
  EXPECT_EQ(TSST::TextOf(sst.EntryAt(1)), u"second");
  sst.DropIndex();
  EXPECT_EQ(sst.IndexCount(), 0u);
  EXPECT_EQ(sst.UniqueCount(), 1u) << "released entry removed; unused 'first' stays";
  EXPECT_EQ(sst.AddString(u"first")->References(), 2);
}

TEST(SSTStrings, RichStringsCountFontsAndGiveThemBack) {
  TXFonts fonts;
  TXFont* bold = fonts.AddFont();
  bold->Style = fsBold;
  TSST sst(fonts);
  std::vector<TRichTextPiece> pieces = {{u"plain ", fonts[0]}, {u"bold", bold}};
  TSSTEntry* e = sst.AddRichSharedString(pieces);
  EXPECT_EQ(TSST::TextOf(e), u"plain bold");
  EXPECT_TRUE(e->IsRich());
  EXPECT_FALSE(e->IsWide());
  ASSERT_EQ(e->Runs().size(), 2u);
  EXPECT_EQ(e->Runs()[1].Position, 6u);
  EXPECT_EQ(bold->Usage, 1);
  EXPECT_EQ(sst.AddRichSharedString(pieces), e);
  EXPECT_EQ(bold->Usage, 1) << "a repeat is found, not added";
  EXPECT_NE(sst.AddSharedString(u"plain bold"), e) << "formatted and plain text differ";
  sst.AddReference(e);
  sst.DropIndex();
  sst.Release(e);  // the repeat's reference
  sst.Release(e);  // the cell's
  EXPECT_EQ(fonts.Count(), 5) << "the font above the first deletable index went with its last user";
  EXPECT_EQ(fonts[0]->Usage, 1) << "fonts below the first deletable index are not given back";
}

TEST(SSTStrings, ClearTableFreesEntriesReachableBothWays) {
  TXFonts fonts;
  TSST sst(fonts);
  sst.AddSharedString(u"a");
  sst.AddSharedString(u"a");
  sst.AddString(u"b");
  sst.ClearTable();
  EXPECT_EQ(sst.UniqueCount(), 0u);
  EXPECT_EQ(sst.IndexCount(), 0u);
  EXPECT_EQ(sst.TotalCount(), 0u);
  EXPECT_EQ(sst.AddString(u"a")->References(), 1);
}

// Strings whose CRC registers agree: a prefix followed by four bytes chosen so
// that the register ends at one target value. The table must keep them
// apart whatever hash it files them under.
std::u16string WithHash(const std::string& prefix, std::uint32_t target) {
  std::uint32_t table[256];
  int inverse[256];
  for (int i = 0; i < 256; ++i) {
    table[i] = CrcByte(0, static_cast<std::uint8_t>(i));
    inverse[table[i] >> 24] = i;
  }
  std::uint32_t reg = CrcBytes(kCrcStart, reinterpret_cast<const std::uint8_t*>(prefix.data()), prefix.size());
  int idx[4];
  std::uint32_t x = target;
  for (int i = 3; i >= 0; --i) {
    idx[i] = inverse[x >> 24];
    x = (x ^ table[idx[i]]) << 8;
  }
  std::u16string text(prefix.begin(), prefix.end());
  for (int i = 0; i < 4; ++i) {
    auto b = static_cast<std::uint8_t>((reg ^ static_cast<std::uint32_t>(idx[i])) & 0xFF);
    text.push_back(b);
    reg = CrcByte(reg, b);
  }
  EXPECT_EQ(reg, target);
  return text;
}

TEST(SSTStrings, ManyStringsWithOneHashStayDistinct) {
  TXFonts fonts;
  TSST sst(fonts);
  std::vector<std::u16string> texts;
  std::vector<TSSTEntry*> entries;
  for (int i = 0; i < 20; ++i) {
    texts.push_back(WithHash("s" + std::to_string(i), 0x5EED1234));
    entries.push_back(sst.AddString(texts.back()));
  }
  // Plus neighbours that share only the first bytes of the hash.
  for (int i = 0; i < 20; ++i) sst.AddString(WithHash("n" + std::to_string(i), 0x00ED1234u + (static_cast<std::uint32_t>(i) << 24)));
  EXPECT_EQ(sst.UniqueCount(), 40u);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(sst.AddString(texts[i]), entries[i]);
    EXPECT_EQ(TSST::TextOf(entries[i]), texts[i]);
  }
  for (int i = 0; i < 20; ++i) {
    sst.Release(entries[i]);
    sst.Release(entries[i]);
  }
  EXPECT_EQ(sst.UniqueCount(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(sst.AddString(texts[i])->References(), 1);
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

TEST(ExtSST, LoadTakesTheBucketsAndRefusesBodiesTheyDoNotFill) {
  TExtSST ext;
  const Bytes good = Bytes().U16(8).U32(0x1234).U16(12).U16(0).U32(0x89ABCDEF).U16(8224).U16(0xFFFF);
  ext.Load(good.v.data(), good.v.size());
  EXPECT_EQ(ext.StringsPerBucket, 8);
  ASSERT_EQ(ext.Count(), 2u);
  EXPECT_EQ(ext[0].StreamPosition, 0x1234u);
  EXPECT_EQ(ext[0].RecordOffset, 12);
  EXPECT_EQ(ext[1].StreamPosition, 0x89ABCDEFu);
  EXPECT_EQ(ext[1].RecordOffset, 8224);
  EXPECT_THROW(ext[2], EListError);
  EXPECT_THROW(ext[-1], EListError);

  const std::vector<std::uint8_t> onlyBucketSize = {16, 0};
  ext.Load(onlyBucketSize.data(), onlyBucketSize.size());
  EXPECT_EQ(ext.StringsPerBucket, 16);
  EXPECT_EQ(ext.Count(), 0u);

  ext.Load(good.v.data(), good.v.size());
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{9}, good.v.size() - 1}) {
    try {
      ext.Load(good.v.data(), size);
      ADD_FAILURE() << size << " bytes were accepted";
    } catch (const EXLSError& e) {
      EXPECT_EQ(std::string(e.what()),
                "EXTSST record of " + std::to_string(size) + " bytes is not 2 bytes plus 8 per bucket");
    }
    EXPECT_EQ(ext.Count(), 2u) << "a refused body changes nothing";
  }
}

TEST(ExtSST, ClearTableEmptiesIt) {
  TXFonts fonts;
  TSST sst(fonts);
  sst.ExtSST().StringsPerBucket = 20;
  sst.ExtSST().Add(100, 4);
  sst.AddString(u"a");
  sst.ClearTable();
  EXPECT_EQ(sst.ExtSST().Count(), 0u);
  EXPECT_EQ(sst.ExtSST().StringsPerBucket, 8);
}

}  // namespace
}  // namespace gridport
