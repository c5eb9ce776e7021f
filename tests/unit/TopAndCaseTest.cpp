// Letter case folded for /I, the best n of a whole tree for /TOP, and what
// the walk makes of both and of /A:E.
#include <gtest/gtest.h>

#include "ChoiceOf.h"
#include "FakePlatform.h"
#include "ListedNames.h"
#include "ShiftJis.h"
#include "text/CaseFold.h"
#include "text/Pattern.h"
#include "walk/Choice.h"
#include "walk/Order.h"
#include "ScanWith.h"
#include "walk/Scan.h"
#include "walk/TopN.h"

namespace tvx::test {
namespace {

TEST(CaseFoldTest, FoldsUtf8CharactersAndAsciiBytes) {
  const CodePage utf8 = CodePage::Utf8();
  struct Row {
    const char* pattern;
    const char* name;
    bool expected;
  } rows[] = {
      {"\xC3\xA9*", "\xC3\x89T\xC3\x89.TXT", true},  // é matches É
      {"*.jpg", "IMG.JPG", true},
      // Both sigmas fold to one: final ς, capital Σ, σ.
      {"\xCE\xA3\xCE\x91\xCE\xA3", "\xCF\x83\xCE\xB1\xCF\x82", true},
      {"\xD0\x94*", "\xD0\xB4\xD0\xBE\xD0\xBC", true},  // Cyrillic Д, д
      // Lengths differ: the Kelvin sign is three bytes, k one; long s and s.
      {"k", "\xE2\x84\xAA", true},
      {"?s", "x\xC5\xBF", true},
      {"\xC3\x9F", "ss", false},  // ß has no simple folding to two letters
      // Bytes that are no UTF-8: ASCII folded around them, themselves exact.
      {"A\xFF*", "a\xFFz", true},
      {"\xC9", "\xE9", false},
      {"\xC0\x81", "\xC0\xA1", false},  // an overlong form is no character
      {"?", "\xE6\x97\xA5", true},
      {"\xC3\xA0", "\xC3\x80x", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MatchesPattern(row.pattern, row.name, utf8, LetterCase::Unicode), row.expected)
        << row.pattern << " / " << row.name;
  }
  EXPECT_FALSE(MatchesPattern("\xC3\xA9", "\xC3\x89", utf8, LetterCase::Ascii));
  EXPECT_EQ(FoldCase(0x1E9E), 0xDFu);    // capital sharp s
  EXPECT_EQ(FoldCase(0x0130), 0x0130u);  // dotted I has no simple folding
  EXPECT_EQ(FoldCase(0x0101), 0x0101u);  // already lower case, in a run of pairs
}

TEST(CaseFoldTest, NameOrderFoldsWithI) {
  const auto before = [](const EntryOrder& order, const char* a, const char* b) {
    return order.Before(TTarvixFileInfo(a), TTarvixFileInfo(b));
  };
  const EntryOrder exact({{SortBy::Name}}, PathStyle::Posix, CodePage::Utf8());
  const EntryOrder folded({{SortBy::Name}}, PathStyle::Posix, CodePage::Utf8(),
                          LetterCase::Unicode);
  EXPECT_TRUE(before(exact, "B", "a"));
  EXPECT_TRUE(before(folded, "a", "B"));
  EXPECT_TRUE(before(folded, "\xC3\x89t\xC3\xA9", "\xC3\xA9u"));  // Été before éu
  // A byte that begins no character sorts after every character.
  EXPECT_TRUE(before(folded, "\xE6\x97\xA5", "\xFF"));
  // Equal when folded: the bytes settle it, so two runs agree.
  EXPECT_TRUE(before(folded, "A", "a"));
  EXPECT_FALSE(before(folded, "a", "A"));
  EXPECT_EQ(folded.CompareKeys(TTarvixFileInfo("\xCE\xA3"), TTarvixFileInfo("\xCF\x82")), 0);
}

// Entries handed to a keeper as a walk hands them: name, size, time, directory.
struct Walked {
  const char* name;
  std::uint64_t size;
  int day;
  bool inSub;
};

std::vector<std::string> Best(const std::vector<SortKey>& keys, std::uint64_t n,
                              std::uint64_t* total = nullptr) {
  const Walked walked[] = {{"a", 5, 3, false}, {"b", 9, 1, true},  {"c", 5, 4, true},
                           {"d", 1, 2, false}, {"e", 9, 5, false}, {"f", 7, 3, true}};
  const EntryOrder order(keys, PathStyle::Posix, CodePage::Utf8());
  TopKeeper keeper(n, order, true);
  EntryList list;
  list.SetRoot("/r/", PathStyle::Posix);
  list.StreamTo(&keeper);
  const std::uint32_t sub = list.AddSubdirectory(0, "s", false);
  for (const Walked& w : walked) {
    list.Add(TTarvixFileInfo(w.name, w.size, MakeDateTime(2026, 1, w.day, 0, 0, 0)), 1,
             w.inSub ? sub : 0);
  }
  EntryList best;
  const std::uint64_t sum = keeper.KeepBestIn(list, best);
  if (total) *total = sum;
  std::vector<std::string> names;
  FullPrefixCache prefixes(best);
  best.ForEach([&](const TTarvixFileInfo& e) {
    names.push_back(prefixes.For(e.DirIndex()) + std::string(e.Name()));
  });
  return names;
}

TEST(TopKeeperTest, KeepsTheBestNOfTheWholeWalkTiesInWalkOrder) {
  using V = std::vector<std::string>;
  std::uint64_t total = 0;
  EXPECT_EQ(Best({{SortBy::Size, true}}, 3, &total), (V{"/r/s/b", "/r/e", "/r/s/f"}));
  EXPECT_EQ(total, 25u);
  EXPECT_EQ(Best({{SortBy::Size}}, 3), (V{"/r/d", "/r/a", "/r/s/c"}));
  EXPECT_EQ(Best({{SortBy::Date, true}}, 2), (V{"/r/e", "/r/s/c"}));
  EXPECT_EQ(Best({{SortBy::Name, true}}, 1), (V{"/r/s/f"}));
  // More asked than walked: all of it, in order; a second key splits ties.
  EXPECT_EQ(Best({{SortBy::Size}, {SortBy::Date, true}}, 10),
            (V{"/r/d", "/r/s/c", "/r/a", "/r/s/f", "/r/e", "/r/s/b"}));
}

// The best entries keep their directories' flags: a level's name is judged
// by its own characters (a Shift-JIS trail byte 0x5C is no separator), and
// an inexact directory stays inexact when a deeper one was kept first.
TEST(TopKeeperTest, KeptDirectoriesKeepTheirFlagsLevelByLevel) {
  const EntryOrder order({{SortBy::Size, true}}, PathStyle::Windows, fixtures::ShiftJis());
  TopKeeper keeper(10, order, true);
  EntryList list;
  list.SetRoot("C:\\r\\", PathStyle::Windows, fixtures::ShiftJis());
  list.StreamTo(&keeper);
  const std::uint32_t s = list.AddSubdirectory(0, "s", false);
  const std::uint32_t so = list.AddSubdirectory(s, "\x83\x5C", false);
  const std::uint32_t q = list.AddSubdirectory(0, "q?", true);
  const std::uint32_t t = list.AddSubdirectory(q, "t", false);
  const std::pair<std::uint32_t, const char*> walked[] = {{s, "e"}, {so, "b"}, {q, "c"}, {t, "d"}};
  std::uint64_t size = 4;
  for (const auto& [dir, name] : walked)
    list.Add(TTarvixFileInfo(name, dir == q ? 1 : size--), 1, dir);
  EntryList best;
  keeper.KeepBestIn(list, best);
  EXPECT_EQ(Names(best), (std::vector<std::string>{"C:\\r\\s\\e", "C:\\r\\s\\\x83\x5C\\b",
                                                   "C:\\r\\q?\\t\\d", "C:\\r\\q?\\c"}));
  // "?" is no character of a Windows name: q? is both, as the walk found it.
  std::vector<bool> inexact, control;
  best.ForEach([&](const TTarvixFileInfo& e) {
    inexact.push_back(best.InInexactDirectory(e.DirIndex()));
    control.push_back(best.InControlDirectory(e.DirIndex()));
  });
  EXPECT_EQ(inexact, (std::vector<bool>{false, false, true, true}));
  EXPECT_EQ(control, (std::vector<bool>{false, false, true, true}));
}

// An empty file, an empty directory, a full one, and a link to a directory.
FakePlatform EmptyTree() {
  FakePlatform p;
  p.AddDir("/d/", {{"z"}, {"e", true}, {"s", true}, {"l", true, true}});
  p.AddDir("/d/e/", {});
  p.AddDir("/d/s/", {{"g", false, false, 5}, {"e2", true}});
  p.AddDir("/d/s/e2/", {});
  return p;
}

TEST(ScanEmptyTest, AnEmptyDirectoryIsKnownOnceReadAndListedBeforeItsContents) {
  struct Row {
    std::vector<std::string> options;
    std::vector<std::string> listed;
    std::vector<std::string> reads;
    std::string unreadable;  // a directory whose read fails before any entry
  } rows[] = {
      {{"/R", "/A:E"}, {"/d/z", "/d/e", "/d/s/e2"}, {"/d/", "/d/e/", "/d/s/", "/d/s/e2/"}},
      {{"/R", "/A:-E"}, {"/d/s", "/d/s/g", "/d/l"}, {"/d/", "/d/e/", "/d/s/", "/d/s/e2/"}},
      // Not entered, yet read to know: the last level, or no /R at all.
      {{"/LEV:1", "/A:DE"}, {"/d/e"}, {"/d/", "/d/e/", "/d/s/"}},
      {{"/A:D-E"}, {"/d/s", "/d/l"}, {"/d/", "/d/e/", "/d/s/"}},
      // Files are known by their size: no directory is read for them.
      {{"/A:E-D"}, {"/d/z"}, {"/d/"}},
      // Unread, a directory is not known to be empty.
      {{"/A:DE"}, {"/d/e"}, {"/d/", "/d/e/", "/d/s/"}, "/d/s/"},
      {{"/A:D-E"}, {"/d/s", "/d/l"}, {"/d/", "/d/e/", "/d/s/"}, "/d/s/"},
  };
  for (const Row& row : rows) {
    FakePlatform p = EmptyTree();
    if (!row.unreadable.empty()) p.readFailures[row.unreadable] = 5;
    p.readsFailAtOnce = true;
    std::vector<std::string> params{"LIST", "/d"};
    params.insert(params.end(), row.options.begin(), row.options.end());
    const Choice choice = ChoiceOf(params, p.now, p.Style(), p.code);
    EntryList list;
    // An unreadable one is left out, with /C, and reported.
    std::size_t skipped = 0;
    const SkippedDirectory skip = [&skipped](const IoFailure&) { ++skipped; };
    ScanDirectory(p, "/d", list, row.options[0] == "/R" || choice.Levels() != 0, true,
                  row.unreadable.empty() ? SkippedDirectory() : skip, choice);
    EXPECT_EQ(skipped, row.unreadable.empty() ? 0u : 1u) << row.options.back();
    EXPECT_EQ(Names(list), row.listed) << row.options.back();
    EXPECT_EQ(p.reads, row.reads) << row.options.back();
  }
}

TEST(ScanEmptyTest, DoneEndsTheWalkBeforeItEntersMore) {
  FakePlatform p = EmptyTree();
  EntryList list;
  FirstEntries firstTwo(2, false);  // directories do not count
  const std::uint64_t total = ScanDirectory(p, "/d", list, true, true, nullptr, NoChoice(), nullptr,
                                            nullptr, std::ref(firstTwo));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"/d/z", "/d/e", "/d/s", "/d/s/g"}));
  EXPECT_EQ(total, 5u);
  EXPECT_EQ(p.reads, (std::vector<std::string>{"/d/", "/d/e/", "/d/s/"}));
}

}  // namespace
}  // namespace tvx::test
