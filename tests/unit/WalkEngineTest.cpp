// The walk engine's guarantees with readers on real threads: the walk's
// order, bytes and failures are those of a walk without them; only what the
// walk hands over is read; the budget holds and comes back.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "ChoiceOf.h"
#include "FakePlatform.h"
#include "walk/Choice.h"
#include "ScanWith.h"
#include "walk/Scan.h"
#include "walk/WalkEngine.h"

namespace tvx::test {
namespace {

// /w/: top directories d0.., each holding inner directories e0.. with a file
// (or a file itself when inner is 0), and a file beside them.
void AddWide(FakePlatform& p, int top, int inner) {
  std::vector<FakeEntry> root;
  for (int i = 0; i < top; ++i) {
    const std::string d = "d" + std::to_string(i);
    root.push_back({d, true});
    std::vector<FakeEntry> in;
    // Names that tell every directory's entries apart.
    for (int j = 0; j < inner; ++j) {
      const std::string e = "e" + std::to_string(j);
      in.push_back({e, true});
      p.AddDir("/w/" + d + "/" + e + "/", {{"f" + std::to_string(i * 100 + j)}});
    }
    if (inner == 0) in.push_back({"f" + std::to_string(i), false, false, std::uint64_t(i)});
    p.AddDir("/w/" + d + "/", in);
  }
  root.push_back({"last", false, false, 7});
  p.AddDir("/w/", root);
}

// A chain of depth directories, each also holding a second directory "s"
// (so that every level waits on the walk's path) and a file.
void AddDeep(FakePlatform& p, int depth) {
  std::string dir = "/w/";
  for (int i = 0; i < depth; ++i) {
    p.AddDir(dir, {{"c", true}, {"s", true}, {"f"}});
    p.AddDir(dir + "s/", {{"g"}});
    dir += "c/";
  }
  p.AddDir(dir, {{"end"}});
}

struct Outcome {
  std::vector<std::string> lines;  // every entry's full path, and every skipped directory
  std::uint64_t total = 0;
  std::string failure;  // the failure that ended the scan, with the directory it names
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  for (const std::string& line : o.lines) *os << "\n  " << line;
  *os << "\n  total " << o.total << ", failure: " << o.failure;
}

// A failure's line as an English user reads it, naming its directory.
std::string MessageOf(const Failure& failure) {
  return failure.Message(Language::English,
                         [](std::string_view text) { return std::string(text); });
}

Outcome Scan(FakePlatform& p, bool goOn, const Choice& choice = NoChoice()) {
  Outcome out;
  EntryList list;
  const SkippedDirectory skipped = [&](const IoFailure& f) {
    out.lines.push_back("skipped " + MessageOf(f));
  };
  try {
    out.total = ScanDirectory(p, "/w", list, true, true, goOn ? skipped : nullptr, choice);
  } catch (const IoFailure& f) {
    out.failure = MessageOf(f);
  }
  FullPrefixCache prefixes(list);
  list.ForEach([&](const TTarvixFileInfo& e) {
    out.lines.push_back(prefixes.For(e.DirIndex()) + std::string(e.Name()));
  });
  return out;
}

// The tree's pre-order, walked here from the fake's own records.
void PreOrder(const FakePlatform& p, const std::string& dir, std::vector<std::string>& out) {
  const auto it = p.tree.find(dir);
  if (it == p.tree.end()) return;
  for (const FakeEntry& e : it->second) {
    out.push_back(dir + e.Name);
    if (e.IsDir && !e.IsLink) PreOrder(p, dir + e.Name + "/", out);
  }
}

// Readers that take a varying while over each read, so that they finish in
// any order and the walk sometimes waits and sometimes overtakes them.
void Jitter(FakePlatform& p, TestThreadKit& kit, unsigned seed) {
  p.threads = &kit;
  p.onRead = [seed](const std::string& dir) {
    const auto spin = std::hash<std::string>()(dir) ^ seed;
    std::this_thread::sleep_for(std::chrono::microseconds(spin % 50));
  };
}

TEST(WalkEngineTest, ReadersKeepTheOrderBytesAndFailuresOfAWalkWithoutThem) {
  const struct {
    int top, inner;
    std::map<std::string, int> enterFailures, readFailures;
    int handles;
  } rows[] = {
      {12, 5, {}, {}, 256},
      {400, 0, {}, {}, 256},
      {400, 0, {{"/w/d150/", 5}}, {{"/w/d250/", 32}}, 256},
      {30, 8, {{"/w/d3/e1/", 2}, {"/w/d20/", 5}}, {{"/w/d7/e7/", 32}}, 256},
      {30, 8, {}, {}, 20},  // few handles: the readers keep few open
  };
  for (const auto& row : rows) {
    for (const bool goOn : {true, false}) {
      FakePlatform plain;
      AddWide(plain, row.top, row.inner);
      plain.enterFailures = row.enterFailures;
      plain.readFailures = row.readFailures;
      const Outcome expected = Scan(plain, goOn);
      if (row.enterFailures.empty() && row.readFailures.empty()) {
        std::vector<std::string> tree;
        PreOrder(plain, "/w/", tree);
        EXPECT_EQ(expected.lines, tree);
      }
      for (unsigned round = 0; round < 4; ++round) {
        SCOPED_TRACE("top " + std::to_string(row.top) + " round " + std::to_string(round));
        FakePlatform p = plain;
        p.maxOpen = 0;
        p.limits = {1, 8, row.handles};
        TestThreadKit kit;
        kit.slow = round % 2 == 1;
        Jitter(p, kit, round);
        EXPECT_EQ(Scan(p, goOn), expected);
        EXPECT_EQ(p.open, 0);  // every handle closed
        EXPECT_LE(p.maxOpen, row.handles);
        EXPECT_GE(kit.started, 1);
      }
    }
  }
}

// A walk that enters only some subdirectories, in an order of its own.
TEST(WalkEngineTest, OnlyWhatTheWalkHandsOverIsReadInItsOrder) {
  FakePlatform p;
  AddWide(p, 40, 3);
  TestThreadKit kit;
  Jitter(p, kit, 7);
  p.limits = {4, 4, 256};
  std::vector<std::string> walked;
  {
    WalkEngine engine(p, false);
    struct Names : EntrySink {
      void Add(const RawEntry& e) override {
        if (e.IsDir) names.emplace_back(e.Name);
      }
      std::vector<std::string> names;
    };
    WalkEngine::Dir& root = engine.EnterRoot("/w/");
    Names top;
    engine.Read(root, top);
    // Every third top directory, last first; then one the walk did not hand over.
    std::vector<std::string> chosen;
    for (std::size_t i = top.names.size(); i-- > 0;) {
      if (i % 3 == 0) chosen.push_back(top.names[i]);
    }
    engine.WillEnter(root, chosen);
    chosen.push_back("d1");
    for (const std::string& name : chosen) {
      WalkEngine::Dir& dir = engine.Enter(root, name);
      Names inner;
      engine.Read(dir, inner);
      engine.WillEnter(dir, {inner.names.back()});
      WalkEngine::Dir& leaf = engine.Enter(dir, inner.names.back());
      Names none;
      engine.Read(leaf, none);
      engine.Leave(leaf);
      engine.Leave(dir);
      walked.push_back(name);
    }
    engine.Leave(root);
    EXPECT_EQ(engine.HeldNow().Listings, 0);
  }
  std::vector<std::string> expected{"/w/"};
  for (const std::string& name : walked) {
    expected.push_back("/w/" + name + "/");
    expected.push_back("/w/" + name + "/e2/");
  }
  std::sort(expected.begin(), expected.end());
  std::sort(p.reads.begin(), p.reads.end());
  EXPECT_EQ(p.reads, expected);
  EXPECT_EQ(p.open, 0);
}

// Names ending in "1" (d1, d11, e1) are left out by the rule that skips them.
bool KeepsAll(const std::string&) {
  return true;
}
bool SkipsOnes(const std::string& name) {
  return name.back() != '1';
}

struct Collect : EntrySink {
  void Add(const RawEntry& e) override { entries.push_back({std::string(e.Name), e.IsDir}); }
  std::vector<FakeEntry> entries;
};

// A walk of its own: dir's entries, then the subdirectories keep allows, in
// their order or reversed.
void WalkWith(WalkEngine& engine, WalkEngine::Dir& dir, const std::string& path,
              bool (*keep)(const std::string&), bool reversed, std::vector<std::string>& out) {
  Collect read;
  engine.Read(dir, read);
  std::vector<std::string> names;
  for (const FakeEntry& e : read.entries) {
    out.push_back(path + e.Name);
    if (e.IsDir && keep(e.Name)) names.push_back(e.Name);
  }
  if (reversed) std::reverse(names.begin(), names.end());
  engine.WillEnter(dir, names);
  for (const std::string& name : names) {
    WalkWith(engine, engine.Enter(dir, name), path + name + "/", keep, reversed, out);
  }
  engine.Leave(dir);
}

// The readers plan ahead by the walk's forecast; where the walk then says
// otherwise, its word holds. With a forecast that agrees, what the walk
// leaves out is never read, not even ahead.
TEST(WalkEngineTest, TheWalksWordHoldsOverItsForecast) {
  const struct {
    bool (*forecast)(const std::string&);
    bool (*walk)(const std::string&);
    bool reversed;
  } rows[] = {{SkipsOnes, SkipsOnes, false},
              {KeepsAll, SkipsOnes, false},
              {SkipsOnes, KeepsAll, false},
              {KeepsAll, KeepsAll, true}};
  for (const auto& row : rows) {
    std::vector<std::string> expected, got;
    FakePlatform plain;
    AddWide(plain, 30, 4);
    {
      WalkEngine engine(plain, false);
      WalkWith(engine, engine.EnterRoot("/w/"), "/w/", row.walk, row.reversed, expected);
    }
    FakePlatform p = plain;
    p.reads.clear();
    TestThreadKit kit;
    kit.slow = true;
    Jitter(p, kit, 9);
    p.limits = {2, 4, 256};
    {
      WalkEngine engine(p, false);
      const auto forecast = row.forecast;
      engine.ForecastWith([forecast](DirListing& listing, std::size_t) {
        Collect read;
        listing.Deliver(read);
        std::vector<std::string> names;
        for (const FakeEntry& e : read.entries) {
          if (e.IsDir && forecast(e.Name)) names.push_back(e.Name);
        }
        return names;
      });
      WalkWith(engine, engine.EnterRoot("/w/"), "/w/", row.walk, row.reversed, got);
      EXPECT_EQ(engine.HeldNow().Listings, 0);
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(p.open, 0);
    if (row.forecast == row.walk && row.walk == SkipsOnes) {
      for (const std::string& read : p.reads) {
        EXPECT_EQ(read.find("1/"), std::string::npos) << read;
      }
    }
  }
}

TEST(WalkEngineTest, TheBudgetHoldsAndComesBackWhenTheWalkStopsEarly) {
  const struct {
    int listings, handles;
    std::size_t entries, stopAfter;
  } rows[] = {{2, 256, 1 << 17, 50}, {512, 24, 1 << 17, 3}, {512, 256, 10, 20}, {3, 30, 30, 0}};
  for (const auto& row : rows) {
    FakePlatform p;
    AddWide(p, 60, 4);
    TestThreadKit kit;
    Jitter(p, kit, 3);
    p.limits = {2, 4, row.handles};
    {
      WalkEngine engine(p, false, {row.listings, row.entries});
      struct Collect : EntrySink {
        void Add(const RawEntry& e) override { names.emplace_back(e.Name); }
        std::vector<std::string> names;
      } top;
      WalkEngine::Dir& root = engine.EnterRoot("/w/");
      engine.Read(root, top);
      top.names.pop_back();  // "last" is a file
      engine.WillEnter(root, top.names);
      for (std::size_t i = 0; i < top.names.size(); ++i) {
        WalkEngine::Held held = engine.HeldNow();
        // Entries are known only once read: each of 4 readers may pass by one listing.
        EXPECT_LE(held.Listings, row.listings);
        EXPECT_LE(held.Entries, row.entries + 4 * 4);
        EXPECT_LE(held.Handles, row.handles);
        if (i == row.stopAfter) break;
        WalkEngine::Dir& dir = engine.Enter(root, top.names[i]);
        Collect inner;
        engine.Read(dir, inner);
        engine.WillEnter(dir, {});
        engine.Leave(dir);
      }
      if (row.stopAfter == 0) {
        engine.Leave(root);  // left with every listing untaken
        EXPECT_EQ(engine.HeldNow().Listings, 0);
        EXPECT_EQ(engine.HeldNow().Entries, 0u);
        EXPECT_EQ(engine.HeldNow().Handles, 0);
      }
    }
    EXPECT_EQ(p.open, 0);  // the engine's end closes the rest
  }
}

TEST(WalkEngineTest, HandlesAreBoundedAndGivenBackWhenTheSystemRunsOut) {
  // 300 levels, each with a directory still to enter: the walk parks the
  // oldest handles on its path and opens them again when it comes back up.
  const struct {
    int limit, systemLimit;
    bool completes;
  } rows[] = {{40, 0, true}, {256, 0, true}, {256, 8, true}, {256, 1, false}};
  FakePlatform plain;
  AddDeep(plain, 300);
  const Outcome expected = Scan(plain, false);
  for (const auto& row : rows) {
    FakePlatform p = plain;
    p.maxOpen = 0;
    TestThreadKit kit;
    Jitter(p, kit, 1);
    p.limits = {1, 4, row.limit};
    p.maxHandles = row.systemLimit;
    const Outcome got = Scan(p, false);
    if (row.completes) {
      EXPECT_EQ(got, expected);
      // A handle let go is closed once its dropper lets the lock go, so
      // each of the 4 readers may hold one more for a moment.
      EXPECT_LE(p.maxOpen, std::max(row.limit, 16) + 4);
    } else {
      // Out of handles, naming a directory.
      EXPECT_EQ(got.failure.substr(0, 22), "Too many open files [/");
    }
    EXPECT_EQ(p.open, 0);
  }
}

// A directory read ahead, whose handle was let go (an exclusion by path
// leaves the readers no forecast, so they keep no handle), and that is gone
// before the walk enters it: opening it again for its subdirectories fails.
// It is reported as a directory that cannot be entered is, naming it, and
// the walk goes on with /C.
TEST(WalkEngineTest, ADirectoryGoneAfterItWasReadAheadIsReportedByItsPath) {
  FakePlatform plain;
  plain.AddDir("/w/", {{"a", true}, {"b", true}, {"z", true}});
  plain.AddDir("/w/a/", {{"fa"}});
  plain.AddDir("/w/b/", {{"c", true}, {"d", true}, {"fb"}});
  plain.AddDir("/w/b/c/", {{"fc"}});
  plain.AddDir("/w/b/d/", {{"fd"}});
  plain.AddDir("/w/z/", {{"fz"}});
  const Choice choice = ChoiceOf({"LIST", "/w", "/X:no/such"}, 0, plain.Style(), plain.code);
  for (const int code : {2, 5}) {
    for (const bool goOn : {true, false}) {
      SCOPED_TRACE("code " + std::to_string(code) + (goOn ? " /C" : ""));
      // What a walk without readers gives when it cannot enter b at all.
      FakePlatform barred = plain;
      barred.enterFailures["/w/b/"] = code;
      const Outcome expected = Scan(barred, goOn, choice);
      ASSERT_EQ(expected.failure.empty(), goOn);
      FakePlatform p = plain;
      p.reenterFailures["/w/b/"] = code;
      TestThreadKit kit;
      p.threads = &kit;
      p.limits = {1, 1, 256};
      // Whoever reads a waits until b is read ahead: by the reader, or by
      // the walk from the back while it waits for a.
      std::mutex mutex;
      std::condition_variable readB;
      bool bRead = false;
      p.onRead = [&](const std::string& dir) {
        std::unique_lock lock(mutex);
        if (dir == "/w/b/") {
          bRead = true;
          readB.notify_all();
        } else if (dir == "/w/a/") {
          readB.wait_for(lock, std::chrono::seconds(10), [&] { return bRead; });
        }
      };
      EXPECT_EQ(Scan(p, goOn, choice), expected);
      EXPECT_EQ(std::count(p.entered.begin(), p.entered.end(), "/w/b/"), 2);
      EXPECT_EQ(p.open, 0);
    }
  }
}

// The walk's path is deeper than its handles: it parks the oldest and opens
// them again on its way back up. One gone meanwhile is given up where the
// walk stands in it: its own line and what was listed of it stay, the rest
// of it is left out with one message naming it, and the walk goes on.
TEST(WalkEngineTest, ADirectoryOnThePathGoneMeanwhileIsGivenUpWithOneMessage) {
  FakePlatform plain;
  AddDeep(plain, 40);
  const std::vector<std::string> whole = Scan(plain, true).lines;
  for (const bool goOn : {true, false}) {
    FakePlatform p = plain;
    p.entered.clear();
    p.maxOpen = 0;
    p.limits = {1, 1, 16};  // no threads: the walk alone, deterministic
    p.reenterFailures["/w/c/c/"] = 2;
    Outcome got = Scan(p, goOn);
    EXPECT_EQ(p.open, 0);
    EXPECT_LE(p.maxOpen, 16);
    if (!goOn) {
      EXPECT_EQ(got.failure, "File not found [/w/c/c]");
      continue;
    }
    ASSERT_FALSE(got.lines.empty());
    EXPECT_EQ(got.lines.front(), "skipped File not found [/w/c/c]");
    got.lines.erase(got.lines.begin());
    // The same lines, but for a run of /w/c/c's entries from where the walk
    // had to open it again up to its last one.
    const auto [cut, same] =
        std::mismatch(whole.begin(), whole.end(), got.lines.begin(), got.lines.end());
    const auto last = std::find(whole.begin(), whole.end(), "/w/c/c/f");
    ASSERT_NE(last, whole.end());
    EXPECT_TRUE(std::equal(last + 1, whole.end(), same, got.lines.end()));
    EXPECT_GT(last + 1 - cut, 3);  // its s, s/g and f at least
    for (auto it = cut; it <= last; ++it) EXPECT_EQ(it->rfind("/w/c/c/", 0), 0u) << *it;
  }
}

// Out of memory while a reader reads a directory is no fault of the
// directory, and must not end the process from a reader's thread: the walk
// reads it again itself.
TEST(WalkEngineTest, AReadersOutOfMemoryIsHandedToTheWalk) {
  FakePlatform plain;
  AddWide(plain, 30, 3);
  const Outcome expected = Scan(plain, true);
  for (unsigned round = 0; round < 4; ++round) {
    FakePlatform p = plain;
    TestThreadKit kit;
    Jitter(p, kit, round);
    p.limits = {2, 4, 256};
    p.allocFailures = {"/w/d3/", "/w/d17/", "/w/d17/e1/"};
    p.walkThread = std::this_thread::get_id();
    EXPECT_EQ(Scan(p, true), expected);
    EXPECT_EQ(p.open, 0);
  }
}

TEST(WalkEngineTest, ReadersGrowOnlyWhileReadsWait) {
  for (const bool slow : {false, true}) {
    FakePlatform p;
    // Wide enough that a reader scheduled late on a busy machine still reads
    // a few of them before the walk has read them all itself.
    AddWide(p, 400, 2);
    TestThreadKit kit;
    kit.slow = slow;
    Jitter(p, kit, 5);
    p.limits = {1, 6, 256};
    Scan(p, false);
    EXPECT_EQ(kit.started > 1, slow);
  }
}

}  // namespace
}  // namespace tvx::test
