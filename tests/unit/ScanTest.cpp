#include <gtest/gtest.h>

#include <cstdint>

#include "ChoiceOf.h"
#include "FakePlatform.h"
#include "ListedNames.h"
#include "ScanWith.h"
#include "walk/Choice.h"
#include "walk/Order.h"
#include "walk/Scan.h"

namespace tvx::test {
namespace {

// A failure's line as an English user reads it.
std::string MessageOf(const Failure& failure) {
  return failure.Message(Language::English,
                         [](std::string_view text) { return std::string(text); });
}

std::string FullPrefix(const EntryList& list, std::uint32_t dirIndex) {
  return FullPrefixCache(list).For(dirIndex);
}

FakePlatform BasicTree() {
  FakePlatform p;
  p.AddDir("/d/", {{"f", false, false, 10}, {"s", true}, {"t", false, false, 20}});
  p.AddDir("/d/s/", {{"g", false, false, 5}, {"u", true}});
  p.AddDir("/d/s/u/", {{"h"}});
  return p;
}

TEST(ScanTest, RecursiveScanIsPreOrderWithSubtreesRightAfterTheirDirectory) {
  FakePlatform p = BasicTree();
  EntryList list;
  std::uint64_t total = ScanDirectory(p, "/d", list, true, true);
  EXPECT_EQ(Names(list),
            (std::vector<std::string>{"/d/f", "/d/s", "/d/s/g", "/d/s/u", "/d/s/u/h", "/d/t"}));
  EXPECT_EQ(total, 35u);
  EXPECT_EQ(p.entered, (std::vector<std::string>{"/d/", "/d/s/", "/d/s/u/"}));
  EXPECT_EQ(FullPrefix(list, list[2].DirIndex()), "/d/s/");
  EXPECT_TRUE(list[1].IsDir());
  EXPECT_EQ(list[1].Size(), 0u);
}

TEST(ScanTest, OrderSortsEachDirectoryAndKeepsThePreOrder) {
  const TDateTime t = MakeDateTime(2020, 1, 1, 0, 0, 0);
  struct Row {
    std::string order;
    PathStyle style;
    std::string expected;  // the names in list order
  } rows[] = {
      // By bytes on POSIX (capitals first); ignoring letter case on Windows.
      {"N", PathStyle::Posix, "B a.Doc a.txt b.txt c sub/ sub/y sub/z"},
      {"N", PathStyle::Windows, "a.Doc a.txt B b.txt c sub/ sub/y sub/z"},
      {"-N", PathStyle::Windows, "sub/ sub/z sub/y c b.txt B a.txt a.Doc"},
      // Keys in turn, the name last: equal extensions, sizes or times by name.
      {"E", PathStyle::Windows, "B c sub/ sub/y sub/z a.Doc a.txt b.txt"},
      {"S", PathStyle::Posix, "B sub/ sub/z sub/y a.txt b.txt c a.Doc"},
      {"-SN", PathStyle::Posix, "a.Doc c a.txt b.txt B sub/ sub/y sub/z"},
      {"D", PathStyle::Posix, "c B a.Doc a.txt b.txt sub/ sub/y sub/z"},
      {"G-D", PathStyle::Posix, "sub/ sub/y sub/z B a.txt b.txt a.Doc c"},
      {"g-d", PathStyle::Posix, "sub/ sub/y sub/z B a.txt b.txt a.Doc c"},  // either case
      {"-GE", PathStyle::Windows, "c a.Doc a.txt b.txt B sub/ sub/y sub/z"},
  };
  for (const Row& row : rows) {
    FakePlatform p(row.style);
    const bool posix = row.style == PathStyle::Posix;
    const std::string top = posix ? "/d/" : "C:\\d\\";
    p.AddDir(top, {{"b.txt", false, false, 3, t + 20},
                   {"sub", true, false, 0, t + 20},
                   {"a.Doc", false, false, 9, t + 10},
                   {"c", false, false, 5, t},
                   {"a.txt", false, false, 3, t + 20},
                   {"B", true, false, 0, t + 10}});
    p.AddDir(top + "sub" + top.back(), {{"z", false, false, 1, t}, {"y", false, false, 2, t}});
    EntryList list;
    const std::vector<SortKey> keys = ParseOrder(row.order, "/O");
    const EntryOrder order(keys, row.style, p.code);
    ScanDirectory(p, top, list, true, OrderNeedsDetails(keys), nullptr, NoChoice(), nullptr,
                  &order);
    std::string names;
    FullPrefixCache prefixes(list);
    list.ForEach([&](const TTarvixFileInfo& e) {
      const std::string rel = prefixes.For(e.DirIndex()).substr(top.size());
      names += std::string(names.empty() ? "" : " ") + (rel.empty() ? "" : "sub/");
      names += e.Name();
      if (e.IsDir() && e.Name() == "sub") names += "/";
    });
    EXPECT_EQ(names, row.expected) << row.order;
  }
}

TEST(ScanTest, NonRecursiveScanListsSubdirectoriesWithoutEnteringThem) {
  FakePlatform p = BasicTree();
  EntryList list;
  ScanDirectory(p, "/d/", list, false, false);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"/d/f", "/d/s", "/d/t"}));
  EXPECT_EQ(p.reads, (std::vector<std::string>{"/d/"}));
}

TEST(ScanTest, AskForDetailsOnlyWhenTheCommandNeedsThem) {
  FakePlatform p = BasicTree();
  EntryList list;
  ScanDirectory(p, "/d", list, true, false);
  EXPECT_EQ(p.detailedReads, 0);
  ScanDirectory(p, "/d", list, true, true);
  EXPECT_EQ(p.detailedReads, 3);
}

// Filters choose what is listed; only /X and the last level keep a
// directory from being entered (read), and the total is the listed one's.
TEST(ScanTest, ChoiceDecidesWhatIsListedAndWhatIsEntered) {
  struct Row {
    std::vector<std::string> options;
    std::vector<std::string> listed;
    std::vector<std::string> reads;
    std::uint64_t total;
  } rows[] = {
      {{"/M:?"},
       {"/d/f", "/d/s", "/d/s/g", "/d/s/u", "/d/s/u/h", "/d/t"},
       {"/d/", "/d/s/", "/d/s/u/"},
       35},
      {{"/M:g;h"}, {"/d/s/g", "/d/s/u/h"}, {"/d/", "/d/s/", "/d/s/u/"}, 5},
      {{"/X:u", "/M:*"}, {"/d/f", "/d/s", "/d/s/g", "/d/t"}, {"/d/", "/d/s/"}, 35},
      {{"/X:s/u", "/X:f;t"}, {"/d/s", "/d/s/g"}, {"/d/", "/d/s/"}, 5},
      {{"/X:g", "/M:g"}, {}, {"/d/", "/d/s/", "/d/s/u/"}, 0},
      {{"/LEV:2"}, {"/d/f", "/d/s", "/d/s/g", "/d/s/u", "/d/t"}, {"/d/", "/d/s/"}, 35},
      {{"/LEV:1", "/A:D"}, {"/d/s"}, {"/d/"}, 0},
      {{"/A:-D", "/MIN:6", "/MAX:10"}, {"/d/f"}, {"/d/", "/d/s/", "/d/s/u/"}, 10},
      {{"/A:H"}, {"/d/s/u/h"}, {"/d/", "/d/s/", "/d/s/u/"}, 0},
      {{"/MAXAGE:20260101"}, {"/d/t"}, {"/d/", "/d/s/", "/d/s/u/"}, 20},
      {{"/MINAGE:20260101", "/A:-D"},
       {"/d/f", "/d/s/g", "/d/s/u/h"},
       {"/d/", "/d/s/", "/d/s/u/"},
       15},
  };
  for (const Row& row : rows) {
    FakePlatform p = BasicTree();
    p.tree["/d/"][2].Time = MakeDateTime(2026, 6, 1, 0, 0, 0);
    p.tree["/d/s/u/"][0].Hidden = true;
    std::vector<std::string> params{"LIST", "/d"};
    params.insert(params.end(), row.options.begin(), row.options.end());
    const Choice choice = ChoiceOf(params, p.now, p.Style(), p.code);
    EntryList list;
    const std::uint64_t total = ScanDirectory(p, "/d", list, true, true, nullptr, choice);
    EXPECT_EQ(Names(list), row.listed) << row.options[0];
    EXPECT_EQ(p.reads, row.reads) << row.options[0];
    EXPECT_EQ(total, row.total) << row.options[0];
  }
  // Reading ahead on threads reads no more than the walk enters either, in
  // the order it sorts them.
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"/X:u*", "/LEV:3"}, {"/X:s/u"}, {"/LEV:2"}}) {
    FakePlatform p = BasicTree();
    TestThreadKit kit;
    p.threads = &kit;
    std::vector<std::string> params{"LIST", "/d"};
    params.insert(params.end(), options.begin(), options.end());
    const Choice choice = ChoiceOf(params, 0, p.Style(), p.code);
    const EntryOrder byName({{SortBy::Name, true}}, p.Style(), p.code);
    EntryList list;
    ScanDirectory(p, "/d", list, true, false, nullptr, choice, nullptr, &byName);
    std::sort(p.reads.begin(), p.reads.end());
    EXPECT_EQ(p.reads, (std::vector<std::string>{"/d/", "/d/s/"})) << options[0];
  }
}

TEST(ScanTest, LinksAreListedButNeverEntered) {
  FakePlatform p(PathStyle::Windows);
  // A directory link reports the directory bit too; a cycle must not be followed.
  p.AddDir("C:\\d\\", {{"loop", true, true}, {"real", true}});
  p.AddDir("C:\\d\\loop\\", {{"never"}});
  p.AddDir("C:\\d\\real\\", {{"inside"}});
  EntryList list;
  ScanDirectory(p, "C:\\d", list, true, false);
  EXPECT_EQ(Names(list),
            (std::vector<std::string>{"C:\\d\\loop", "C:\\d\\real", "C:\\d\\real\\inside"}));
  EXPECT_TRUE(list[0].IsDir());
}

TEST(ScanTest, ScanClearsTheListAndSeesRelativeDirectoriesAsFullPaths) {
  FakePlatform p = BasicTree();
  p.AddDir("/work/rel/", {{"x"}});
  EntryList list;
  ScanDirectory(p, "/d", list, false, false);
  ScanDirectory(p, "rel", list, false, false);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"/work/rel/x"}));
}

TEST(ScanTest, BareDriveNamesItsRoot) {
  FakePlatform p(PathStyle::Windows);
  p.AddDir("D:\\", {{"top"}});
  EntryList list;
  ScanDirectory(p, "D:", list, false, false);
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(FullPrefix(list, list[0].DirIndex()), "D:\\");
}

TEST(ScanTest, SizesAreWholeAndTheTotalDoesNotWrap) {
  FakePlatform p;
  const std::uint64_t threeGiB = 3ull << 30;
  p.AddDir(
      "/big/",
      {{"a", false, false, threeGiB}, {"b", false, false, threeGiB}, {"dir", true, false, 4096}});
  EntryList list;
  EXPECT_EQ(ScanDirectory(p, "/big", list, false, true), 2 * threeGiB);
  EXPECT_EQ(list[0].Size(), threeGiB);
  EXPECT_EQ(list[2].Size(), 0u);  // a directory's own size never counts
}

// The offset an entry's time was read at rides beside the largest size, every
// attribute and an odd second, and leaves each of them as it was.
TEST(ScanTest, ARecordKeepsItsUtcOffsetBesideItsOtherFacts) {
  const std::uint64_t largest = (std::uint64_t{1} << 55) - 1;  // 32 PiB less a byte
  const TDateTime odd = MakeDateTime(2026, 10, 25, 2, 30, 0) + 1;
  for (const std::int32_t offset :
       {7200, 3600, 0, -(3 * 3600 + 1800), 5 * 3600 + 2700, 1172, kUnknownUtcOffset}) {
    const TTarvixFileInfo entry("n", largest, odd, false, false, 0x1F, offset);
    EXPECT_EQ(entry.UtcOffset(), offset);
    EXPECT_EQ(entry.Size(), largest) << offset;
    EXPECT_EQ(entry.Attributes(), 0x1Fu) << offset;
    EXPECT_EQ(entry.ExactDateTime(), odd) << offset;
  }
}

TEST(ScanTest, FailuresNameTheirDirectoryAndStopTheScan) {
  FakePlatform p = BasicTree();
  p.enterFailures["/d/s/"] = 5;
  EntryList list;
  try {
    ScanDirectory(p, "/d", list, true, false);
    FAIL() << "expected an I/O failure";
  } catch (const IoFailure& failure) {
    EXPECT_EQ(MessageOf(failure), "File access denied [/d/s]");
  }
  EXPECT_EQ(Names(list), (std::vector<std::string>{"/d/f", "/d/s"}));

  // A directory entered but not read fails as one not entered does, whether
  // its read fails at once or after some entries.
  for (const bool atOnce : {true, false}) {
    FakePlatform r = BasicTree();
    r.readFailures["/d/s/"] = 5;
    r.readsFailAtOnce = atOnce;
    try {
      ScanDirectory(r, "/d", list, true, false);
      FAIL() << "expected a read failure";
    } catch (const ReadFailure& failure) {
      EXPECT_EQ(MessageOf(failure), "File access denied [/d/s]");
    }
  }

  // The list's limits are no lack of memory.
  FakePlatform q = BasicTree();
  q.AddDir("/d/s/u/", {{std::string(1 << 20, 'n')}});
  try {
    ScanDirectory(q, "/d", list, true, false);
    FAIL() << "expected a limit failure";
  } catch (const LimitFailure& failure) {
    EXPECT_EQ(MessageOf(failure), "Too large for the entry list [/d/s/u]");
  }
}

TEST(ScanTest, DirectoriesThatFailAreReportedAndTheWalkGoesOn) {
  FakePlatform p = BasicTree();
  p.AddDir("/d/t2/", {{"in", false, false, 7}});
  p.tree["/d/"].push_back({"t2", true});
  p.enterFailures["/d/s/"] = 5;
  p.readFailures["/d/t2/"] = 2;  // fails after reporting one entry
  std::vector<std::string> skipped;
  EntryList list;
  const std::uint64_t total = ScanDirectory(
      p, "/d", list, true, true, [&](const IoFailure& f) { skipped.push_back(MessageOf(f)); });
  // Their own records stay, their contents are left out, the order holds.
  EXPECT_EQ(Names(list), (std::vector<std::string>{"/d/f", "/d/s", "/d/t", "/d/t2"}));
  EXPECT_EQ(skipped,
            (std::vector<std::string>{"File access denied [/d/s]", "File not found [/d/t2]"}));
  EXPECT_EQ(total, 30u);

  FakePlatform q = BasicTree();
  q.enterFailures["/d/"] = 5;
  EXPECT_EQ(ScanDirectory(q, "/d", list, true, true,
                          [&](const IoFailure& f) { skipped.push_back(MessageOf(f)); }),
            0u);
  EXPECT_EQ(skipped.back(), "File access denied [/d]");
  EXPECT_EQ(list.Count(), 0u);
}

// The observer hears of each directory before it is read, with a kept list
// or a streamed one alike, and of one that then fails to open too.
TEST(ScanTest, TheObserverIsToldBeforeEachDirectoryIsRead) {
  struct CountsAtRead : WalkObserver {
    void BeforeRead() override { counts.push_back(list->Count()); }
    const EntryList* list = nullptr;
    std::vector<std::size_t> counts;
  };
  struct Row {
    std::string failing;  // a directory that cannot be entered
    std::vector<std::size_t> counts;
  } rows[] = {
      {"", {0, 2, 4}},
      {"/d/s/", {0, 2}},
      {"/d/s/u/", {0, 2, 4}},
  };
  for (const Row& row : rows) {
    FakePlatform p = BasicTree();
    if (!row.failing.empty()) p.enterFailures[row.failing] = 5;
    EntryList list;
    CountsAtRead observer;
    observer.list = &list;
    ScanDirectory(
        p, "/d", list, true, false, [](const IoFailure&) {}, NoChoice(), nullptr, nullptr, nullptr,
        &observer);
    EXPECT_EQ(observer.counts, row.counts) << row.failing;
  }
}

}  // namespace
}  // namespace tvx::test
