// What the walk keeps as it goes: a deep path, many and long names, a big
// list's blocks, the directories of a streamed list.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "FakePlatform.h"
#include "ScanWith.h"
#include "platform/posix/LargePages.h"
#include "text/Blocks.h"
#include "walk/Scan.h"

namespace tvx::test {
namespace {

std::string FullPrefix(const EntryList& list, std::uint32_t dirIndex) {
  return FullPrefixCache(list).For(dirIndex);
}

TEST(ScanTest, VeryDeepTreeNeedsNoDeepRecursion) {
  FakePlatform p;
  std::string dir = "/deep/";
  const int depth = 5000;
  for (int i = 0; i < depth; ++i) {
    p.AddDir(dir, {{"d", true}, {"f"}});
    dir += "d/";
  }
  EntryList list;
  ScanDirectory(p, "/deep", list, true, false);
  ASSERT_EQ(list.Count(), 2u * depth);
  // Pre-order: all the "d" records nest first, the files follow innermost first.
  EXPECT_EQ(list[depth - 1].Name(), "d");
  EXPECT_EQ(list[depth].Name(), "f");
  EXPECT_EQ(FullPrefix(list, list[depth].DirIndex()).size(),
            std::string("/deep/").size() + 2 * (depth - 1));
}

// The walk lets each directory's listing go as it leaves it; the list keeps
// copies of the names, so the names of a directory left stay.
TEST(ScanTest, ManyEntriesAndLongNamesSurviveTheArena) {
  FakePlatform p;
  std::vector<FakeEntry> entries;
  for (int i = 0; i < 10000; ++i) entries.push_back({"name" + std::to_string(i)});
  entries.push_back({std::string(400000, 'x')});
  entries.push_back({"after"});
  entries.push_back({"s", true});
  entries.push_back({"t", true});
  p.AddDir("/many/", entries);
  for (const char* sub : {"s", "t"}) {
    std::vector<FakeEntry> inner;
    for (int i = 0; i < 6000; ++i)
      inner.push_back({sub + std::string(200, '.') + std::to_string(i)});
    p.AddDir(std::string("/many/") + sub + "/", inner);
  }
  EntryList list;
  ScanDirectory(p, "/many", list, true, false);
  ASSERT_EQ(list.Count(), 22004u);
  EXPECT_EQ(list[9999].Name(), "name9999");
  EXPECT_EQ(list[10000].Name().size(), 400000u);
  EXPECT_EQ(list[10001].Name(), "after");
  EXPECT_EQ(list[10003].Name(), "s" + std::string(200, '.') + "0");
  EXPECT_EQ(list[16002].Name(), "s" + std::string(200, '.') + "5999");
  EXPECT_EQ(list[16004].Name(), "t" + std::string(200, '.') + "0");
}

// Where the platform advises large pages, a big list takes its records and
// names a large page at a time, each such block aligned to one, and keeps
// every entry as it would without.
TEST(ScanTest, ABigListTakesLargeBlocksWhereAdvised) {
  static std::vector<std::uintptr_t> advised;
  advised.clear();
  UseLargePages(
      [](void* at, std::size_t size) {
        if (size == kLargePage) advised.push_back(reinterpret_cast<std::uintptr_t>(at));
      },
      [](void* at, std::size_t size) { std::memset(at, 0, size); });
  struct Unadvise {
    ~Unadvise() { UseLargePages(nullptr, nullptr); }
  } unadvise;
  const auto name = [](int i) { return std::string(24, 'n') + std::to_string(i); };
  FakePlatform p;
  std::vector<FakeEntry> entries;
  for (int i = 0; i < 200000; ++i) entries.push_back({name(i)});
  p.AddDir("/big/", entries);
  EntryList list;
  ScanDirectory(p, "/big", list, false, false);
  ASSERT_EQ(list.Count(), 200000u);
  // 4.8 MB of records and 6.2 MB of names: past 4 MiB each turns large.
  EXPECT_GE(advised.size(), 2u);
  for (const std::uintptr_t at : advised) EXPECT_EQ(at % kLargePage, 0u);
  int wrong = 0;
  for (int i = 0; i < 200000; ++i) wrong += list[static_cast<std::size_t>(i)].Name() != name(i);
  EXPECT_EQ(wrong, 0);
}

// The system's release gives back only whole pages inside what it is told:
// the used start of a block, up to the page the unused end begins in, stays.
TEST(ScanTest, TheSystemsReleaseKeepsEveryByteBeforeTheUnusedEnd) {
  UsePosixLargePages();
  struct Unadvise {
    ~Unadvise() { UseLargePages(nullptr, nullptr); }
  } unadvise;
  BlockBytes block = NewLargeBlock();
  ASSERT_EQ(reinterpret_cast<std::uintptr_t>(block.get()) % kLargePage, 0u);
  std::memset(block.get(), 0xAB, kLargePage);
  const std::size_t used = 5000, page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  ReleaseUnused(block.get() + used, block.get() + kLargePage);
  std::size_t kept = 0;
  while (kept < kLargePage && block[kept] == static_cast<char>(0xAB)) ++kept;
  EXPECT_GE(kept, used);
  EXPECT_LE(kept, (used + page - 1) / page * page);
  EXPECT_EQ(block[kLargePage - 1], 0);
}

// Streamed, the list keeps only the directories on the walk's path: each
// entry still gets its directory's index (never given again), full path and
// flags as a kept list gives them, deep and wide, whichever way the walk
// comes back up.
TEST(ScanTest, AStreamedListNamesEveryDirectoryAsAKeptOneDoes) {
  FakePlatform p;
  std::string dir = "/s/";
  for (int i = 0; i < 40; ++i) {
    std::vector<FakeEntry> entries{{"c", true}, {"w\x01", true}, {"f"}};
    for (int j = 0; j < 3; ++j) entries.push_back({"x" + std::to_string(j), true});
    entries[4].Inexact = true;  // "x1"
    p.AddDir(dir, entries);
    p.AddDir(dir + "w\x01/", {{"g"}});
    for (int j = 0; j < 3; ++j) p.AddDir(dir + "x" + std::to_string(j) + "/", {{"h"}, {"y", true}});
    dir += "c/";
  }
  struct Seen {
    std::uint32_t dirIndex;
    std::string path;
    bool inexact, control;
    bool operator==(const Seen&) const = default;
  };
  const auto seen = [](const EntryList& list, FullPrefixCache& prefixes, const TTarvixFileInfo& e) {
    return Seen{e.DirIndex(), prefixes.For(e.DirIndex()) + std::string(e.Name()),
                list.InInexactDirectory(e.DirIndex()), list.InControlDirectory(e.DirIndex())};
  };
  EntryList kept;
  ScanDirectory(p, "/s", kept, true, false);
  std::vector<Seen> expected;
  FullPrefixCache keptPrefixes(kept);
  kept.ForEach([&](const TTarvixFileInfo& e) { expected.push_back(seen(kept, keptPrefixes, e)); });
  struct Consumer : EntryConsumer {
    void Take(const EntryList& list, const TTarvixFileInfo& e) override {
      if (!prefixes) prefixes = std::make_unique<FullPrefixCache>(list);
      got.push_back(see(list, *prefixes, e));
    }
    std::function<Seen(const EntryList&, FullPrefixCache&, const TTarvixFileInfo&)> see;
    std::unique_ptr<FullPrefixCache> prefixes;
    std::vector<Seen> got;
  } consumer;
  consumer.see = seen;
  EntryList streamed;
  streamed.StreamTo(&consumer);
  ScanDirectory(p, "/s", streamed, true, false);
  ASSERT_EQ(consumer.got.size(), expected.size());
  EXPECT_TRUE(consumer.got == expected);
  EXPECT_EQ(expected.back().path, "/s/x2/y");
  const auto flagged = [&](bool Seen::*flag) {
    return std::count_if(expected.begin(), expected.end(), [&](const Seen& e) { return e.*flag; });
  };
  EXPECT_EQ(flagged(&Seen::inexact), 40 * 2);  // x1's h and y
  EXPECT_EQ(flagged(&Seen::control), 40);      // w?'s g
}

}  // namespace
}  // namespace tvx::test
