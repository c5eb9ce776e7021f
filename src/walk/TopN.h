// /TOP: the first n entries a run writes, of the whole tree. Without an
// order the walk's first n, and the walk ends there; with one the best n by
// it across the whole tree, kept as the walk goes, so that memory follows n
// and not the size of the tree.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "EntryList.h"
#include "Order.h"

namespace tvx {

// The n of "/TOP:n" as typed: a whole number from 1. Raises
// InvalidValueFailure(typed) for anything else.
std::uint64_t ParseTop(std::string_view value, const std::string& typed);

// Counts the entries written and says when the nth is: the walk's end.
// Directories do not count where they are not written (LIST /D).
class FirstEntries {
 public:
  FirstEntries(std::uint64_t n, bool directoriesCount)
      : n_(n), directoriesCount_(directoriesCount) {}
  bool operator()(const TTarvixFileInfo& entry) {
    if (directoriesCount_ || !entry.IsDir()) ++written_;
    return written_ >= n_;
  }

 private:
  std::uint64_t n_;
  bool directoriesCount_;
  std::uint64_t written_ = 0;
};

// Takes every listed entry of a walk and keeps the best n by the order, ties
// going to the one met first: a heap whose top is the worst one kept.
// admit, when given, says which entries may be kept at all (with /C, the
// ones a line can hold), so that those left out make room for the next best.
class TopKeeper final : public EntryConsumer {
 public:
  using Admit = std::function<bool(const EntryList&, const TTarvixFileInfo&)>;
  TopKeeper(std::uint64_t n, const EntryOrder& order, bool directoriesCount, Admit admit = {})
      : n_(n), order_(order), directoriesCount_(directoriesCount), admit_(std::move(admit)) {}
  void Take(const EntryList& list, const TTarvixFileInfo& entry) override;
  // The kept entries, best first, into best (empty, its root that of the
  // walked list), each under its directory; returns their total size.
  std::uint64_t KeepBestIn(const EntryList& walked, EntryList& best);

 private:
  struct Kept {
    std::string dir;  // the directory's path below the root, with its separator
    // The entry's name, zero-terminated: a vector, whose bytes stay where
    // they are as the heap moves it, where entry points.
    std::vector<char> name;
    TTarvixFileInfo entry;
    bool dirInexact = false;
    std::uint64_t seq = 0;  // walk order
  };
  // The heap moves its entries; a copy would leave entry pointing at the old name.
  static_assert(std::is_nothrow_move_constructible_v<Kept>);
  // Whether a comes before b in the output.
  bool Better(const Kept& a, const Kept& b) const;
  // The record in best of kept's directory, made level by level.
  using Dirs = std::map<std::pair<std::string, bool>, std::uint32_t>;
  static std::uint32_t DirectoryOf(const Kept& kept, EntryList& best, Dirs& dirs);

  std::uint64_t n_;
  const EntryOrder& order_;
  bool directoriesCount_;
  Admit admit_;
  std::uint64_t seq_ = 0;
  std::vector<Kept> heap_;
  std::unique_ptr<FullPrefixCache> prefixes_;
};

}  // namespace tvx
