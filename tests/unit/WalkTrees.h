// Trees and a scan for the walk engine's tests: wide and deep fake trees,
// and what a walk of them lists, skips and fails with.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "FakePlatform.h"
#include "ScanWith.h"
#include "walk/Choice.h"
#include "walk/Scan.h"

namespace tvx::test {

// /w/: top directories d0.., each holding inner directories e0.. with a file
// (or a file itself when inner is 0), and a file beside them.
inline void AddWide(FakePlatform& p, int top, int inner) {
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
inline void AddDeep(FakePlatform& p, int depth) {
  std::string dir = "/w/";
  for (int i = 0; i < depth; ++i) {
    p.AddDir(dir, {{"c", true}, {"s", true}, {"f"}});
    p.AddDir(dir + "s/", {{"g"}});
    dir += "c/";
  }
  p.AddDir(dir, {{"end"}});
}

struct WalkOutcome {
  std::vector<std::string> lines;  // every entry's full path, and every skipped directory
  std::uint64_t total = 0;
  std::string failure;  // the failure that ended the scan, with the directory it names
  bool operator==(const WalkOutcome&) const = default;
};

inline void PrintTo(const WalkOutcome& o, std::ostream* os) {
  for (const std::string& line : o.lines) *os << "\n  " << line;
  *os << "\n  total " << o.total << ", failure: " << o.failure;
}

// A failure's line as an English user reads it, naming its directory.
inline std::string MessageOf(const Failure& failure) {
  return failure.Message(Language::English,
                         [](std::string_view text) { return std::string(text); });
}

inline WalkOutcome Scan(FakePlatform& p, bool goOn, const Choice& choice = NoChoice()) {
  WalkOutcome out;
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

// Readers that take a varying while over each read, so that they finish in
// any order and the walk sometimes waits and sometimes overtakes them.
inline void Jitter(FakePlatform& p, TestThreadKit& kit, unsigned seed) {
  p.threads = &kit;
  p.onRead = [seed](const std::string& dir) {
    const auto spin = std::hash<std::string>()(dir) ^ seed;
    std::this_thread::sleep_for(std::chrono::microseconds(spin % 50));
  };
}

}  // namespace tvx::test
