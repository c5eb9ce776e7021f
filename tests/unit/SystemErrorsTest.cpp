// The systems' error tables, the columns a name takes, and a held listing:
// the room its names take and what it gives back.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <string>
#include <tuple>

#include "ShiftJis.h"
#include "platform/HeldListing.h"
#include "platform/posix/PosixErrors.h"
#include "platform/win32/Win32Errors.h"
#include "text/Failure.h"
#include "text/NameArena.h"
#include "text/Width.h"
#include "walk/Scan.h"
#include "walk/ScanBatch.h"

namespace tvx {
namespace {

std::string Shown(int code) {
  return IoFailure(code).Message(Language::English,
                                 [](std::string_view t) { return std::string(t); });
}

TEST(SystemErrorsTest, EveryMappedErrorHasAMessageOfItsOwn) {
  for (const ErrnoCode& row : kErrnoCodes) {
    EXPECT_EQ(Shown(MapErrno(row.error)).find("I/O error"),
              row.code == IoFailure::kBrokenPipe ? 0u : std::string::npos)
        << row.error;
  }
  for (const WindowsErrorCode& row : kWindowsErrorCodes) {
    EXPECT_EQ(Shown(MapWindowsError(row.error)), "Disk full") << row.error;
  }
}

TEST(SystemErrorsTest, ErrorsAreShownAsTheSystemNumbersThem) {
  struct Row {
    int error;
    std::string shown;
  } posixRows[] = {
      {EACCES, "File access denied"},  {EPERM, "File access denied"}, {ENOENT, "File not found"},
      {EMFILE, "Too many open files"}, {ENOSPC, "Disk full"},         {EDQUOT, "Disk full"},
      {EIO, "I/O error (5)"},          {ENETDOWN, "I/O error (100)"}, {ESTALE, "I/O error (116)"},
  };
  for (const Row& row : posixRows) EXPECT_EQ(Shown(MapErrno(row.error)), row.shown) << row.error;
  struct WindowsRow {
    unsigned long error;
    std::string shown;
  } windowsRows[] = {
      {5, "File access denied"},
      {112, "Disk full"},
      {39, "Disk full"},
      {1117, "I/O error (1117)"},
  };
  for (const WindowsRow& row : windowsRows)
    EXPECT_EQ(Shown(MapWindowsError(row.error)), row.shown) << row.error;
}

TEST(DisplayWidthTest, ColumnsAsTheTerminalShowsThem) {
  const CodePage utf8 = CodePage::Utf8(), single;
  struct Row {
    const CodePage& code;
    std::string text;
    std::size_t columns;
  } rows[] = {
      {utf8, "plain.txt", 9},
      {utf8, "sixteen-columns!", 16},           // words of ASCII at a time
      {utf8, "seventeen columns\xC3\xA9", 18},  // then a character after them
      {utf8,
       "ab\xE6\x97\xA5"
       "cdefgh\xE6\x97\xA5",
       12},                                   // wide ones inside the first word
      {utf8, "caf\xC3\xA9", 4},               // e acute, one character
      {utf8, "cafe\xCC\x81", 4},              // e and a combining acute
      {utf8, "\xE6\x97\xA5\xE6\x9C\xAC", 4},  // two wide ideographs
      {utf8, "\xEF\xBC\xA1", 2},              // a full-width A
      {utf8, "\xEF\xBD\xB1", 1},              // a half-width katakana
      {utf8, "\xF0\x9F\x98\x80", 2},          // an emoji
      {utf8, "\xE3\x81\x8B\xE3\x82\x99", 2},  // kana and a combining voiced mark
      {utf8,
       "a\xFF"
       "b",
       3},  // a stray byte takes a column
      {single, "caf\xE9", 4},
      {fixtures::ShiftJis(), "\x83\x41\x83\x61", 4},  // double-byte: two columns each
  };
  for (const Row& row : rows) EXPECT_EQ(DisplayWidth(row.text, row.code), row.columns) << row.text;
}

TEST(NameArenaTest, FewNamesTakeLittleMoreRoomThanTheyNeed) {
  NameArena held(std::size_t{1} << 12);
  held.Store("one");
  EXPECT_EQ(held.Capacity(), NameArena::kFirstBlock);
  // Blocks grow by doubling up to the block size, and no further.
  const std::string name(99, 'n');
  for (int i = 0; i < 200; ++i) held.Store(name);
  EXPECT_LE(held.Capacity(), 2 * 200 * 100 + NameArena::kFirstBlock);
  NameArena big;
  const NameArena::Mark start = big.Here();
  const char* stored = big.Store("a");
  EXPECT_STREQ(stored, "a");
  for (int i = 0; i < 5000; ++i) big.Store(name);
  big.Rewind(start);
  EXPECT_STREQ(big.Store("kept"), "kept");
}

// A listing gives back what its read added: details where some entry had
// them, and only its subdirectories (no links) where only those are asked.
TEST(HeldListingTest, GivesBackWhatItsReadAdded) {
  HeldListing listing;
  const auto add = [&listing](std::string_view name, unsigned kinds) {
    std::memcpy(listing.names.Room(name.size()), name.data(), name.size());
    listing.Add({listing.names.Keep(name.size()), name.size()}, kinds, {NameFacts::kKnown});
  };
  add("a.txt", 0);
  add("sub", HeldListing::kDir);
  listing.SetDetails(0, 100, 3600);
  add("link", HeldListing::kDir | HeldListing::kLink);
  add("b.txt", 0);
  listing.SetDetails(42, 200, 3600);
  add("c.txt", HeldListing::kHidden);
  listing.SetDetails(7, 300, 0);
  struct Seen : EntrySink {
    std::string text;
    void Add(const RawEntry& e) override {
      text += std::string(e.Name) + ":" + std::to_string(e.Size) + "@" +
              std::to_string(e.DateTime) + (e.IsDir ? "/" : "") + (e.Hidden ? "h" : "") + " ";
    }
  } all, subdirectories;
  listing.Deliver(all);
  EXPECT_EQ(all.text, "a.txt:0@0 sub:0@100/ link:0@0/ b.txt:42@200 c.txt:7@300h ");
  EXPECT_EQ(listing.At(4).UtcOffset, 0);
  EXPECT_EQ(listing.At(0).UtcOffset, kUnknownUtcOffset);
  listing.DeliverSubdirectories(subdirectories);
  EXPECT_EQ(subdirectories.text, "sub:0@100/ ");
}

// A walk that lists every entry takes a held listing's entries straight
// from it: the items are those it makes of each entry handed over alone, for
// every kind and attribute, with and without details and long names.
TEST(HeldListingTest, ABatchTakesItWholeAsEntryByEntry) {
  std::deque<std::string> names;
  HeldListing listing;
  for (unsigned kinds = 0; kinds < 128; ++kinds) {
    RawEntry e;
    e.Name = names.emplace_back("n" + std::to_string(kinds));
    if (kinds % 3 == 0) e.LongName = names.emplace_back("long " + std::to_string(kinds));
    e.IsDir = kinds & 1, e.IsLink = kinds & 2, e.Inexact = kinds & 4, e.Hidden = kinds & 8;
    e.System = kinds & 16, e.ReadOnly = kinds & 32, e.Archive = kinds & 64;
    if (kinds % 4 != 1) {
      e.Size = kinds * 1000 + 1;
      e.DateTime = 1000000 + kinds;  // odd and even seconds
      e.UtcOffset = kinds % 2 == 0 ? 3600 : kUnknownUtcOffset;
    }
    e.Facts = NameFactsOf(e.Name);
    listing.Add(e);
  }
  const ScanRules rules{true, NoChoice(), nullptr, nullptr, false, false};
  ScanBatch whole(rules), alone(rules);
  whole.listsAll = alone.listsAll = true;
  listing.Deliver(whole);
  for (std::size_t i = 0; i < listing.Count(); ++i) alone.Add(listing.At(i));
  ASSERT_EQ(whole.items.size(), 128u);
  ASSERT_EQ(alone.items.size(), 128u);
  EXPECT_EQ(whole.seen, alone.seen);
  for (std::size_t i = 0; i < 128; ++i) {
    const ScanBatch::Item &a = whole.items[i], &b = alone.items[i];
    EXPECT_EQ(std::memcmp(&a.entry, &b.entry, sizeof a.entry), 0) << i;
    EXPECT_EQ(a.Name(), b.Name()) << i;
    EXPECT_EQ(a.factBits, b.factBits) << i;
    EXPECT_EQ(std::tuple(a.enter, a.listed, a.pending, a.peek),
              std::tuple(b.enter, b.listed, b.pending, b.peek))
        << i;
  }
  EXPECT_TRUE(whole.items[1].enter);   // a directory
  EXPECT_FALSE(whole.items[3].enter);  // a link to one
}

}  // namespace
}  // namespace tvx
