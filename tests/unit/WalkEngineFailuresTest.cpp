// The walk engine with readers on real threads where the system fails it:
// a directory gone after it was read ahead or while on the walk's path, a
// reader out of memory; and readers that grow only while reads wait.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ChoiceOf.h"
#include "FakePlatform.h"
#include "WalkTrees.h"
#include "walk/Scan.h"
#include "walk/WalkEngine.h"

namespace tvx::test {
namespace {

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
      const WalkOutcome expected = Scan(barred, goOn, choice);
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
    WalkOutcome got = Scan(p, goOn);
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
  const WalkOutcome expected = Scan(plain, true);
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
