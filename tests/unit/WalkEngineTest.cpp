// The walk engine's guarantees with readers on real threads: the walk's
// order, bytes and failures are those of a walk without them; only what the
// walk hands over is read; the budget holds and comes back.
#include <gtest/gtest.h>

#include <algorithm>

#include "ChoiceOf.h"
#include "FakePlatform.h"
#include "ScanWith.h"
#include "WalkTrees.h"
#include "walk/Choice.h"
#include "walk/Scan.h"
#include "walk/WalkEngine.h"

namespace tvx::test {
namespace {

// The tree's pre-order, walked here from the fake's own records.
void PreOrder(const FakePlatform& p, const std::string& dir, std::vector<std::string>& out) {
  const auto it = p.tree.find(dir);
  if (it == p.tree.end()) return;
  for (const FakeEntry& e : it->second) {
    out.push_back(dir + e.Name);
    if (e.IsDir && !e.IsLink) PreOrder(p, dir + e.Name + "/", out);
  }
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
      const WalkOutcome expected = Scan(plain, goOn);
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
  const WalkOutcome expected = Scan(plain, false);
  for (const auto& row : rows) {
    FakePlatform p = plain;
    p.maxOpen = 0;
    TestThreadKit kit;
    Jitter(p, kit, 1);
    p.limits = {1, 4, row.limit};
    p.maxHandles = row.systemLimit;
    const WalkOutcome got = Scan(p, false);
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

}  // namespace
}  // namespace tvx::test
