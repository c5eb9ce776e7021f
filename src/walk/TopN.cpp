#include "TopN.h"

#include <algorithm>
#include <map>

#include "text/CommandLine.h"
#include "text/Failure.h"
#include "text/Paths.h"

namespace tvx {

std::uint64_t ParseTop(std::string_view value, const std::string& typed) {
  std::uint64_t n = 0;
  if (!ParseDigits(value, n) || n == 0) throw InvalidValueFailure(typed);
  return n;
}

bool TopKeeper::Better(const Kept& a, const Kept& b) const {
  const int order = order_.CompareKeys(a.entry, b.entry);
  return order != 0 ? order < 0 : a.seq < b.seq;
}

void TopKeeper::Take(const EntryList& list, const TTarvixFileInfo& entry) {
  if (admit_ && !admit_(list, entry)) return;
  if (!directoriesCount_ && entry.IsDir()) return;
  const std::uint64_t seq = seq_++;
  if (heap_.size() == n_) {
    // A tie with the worst kept goes to the worst: it came first.
    if (order_.CompareKeys(entry, heap_.front().entry) >= 0) return;
    std::pop_heap(heap_.begin(), heap_.end(),
                  [this](const Kept& a, const Kept& b) { return Better(a, b); });
  } else {
    heap_.emplace_back();
  }
  if (!prefixes_) prefixes_ = std::make_unique<FullPrefixCache>(list);
  // The slot at the back is free now; its buffers stay.
  Kept& kept = heap_.back();
  kept.dir.assign(prefixes_->For(entry.DirIndex()), list.Root().size());
  const std::string_view name = entry.Name();
  kept.name.assign(name.begin(), name.end());
  kept.name.push_back('\0');
  kept.entry = TTarvixFileInfo(kept.name.data(), entry.Size(), entry.ExactDateTime(), entry.IsDir(),
                               entry.IsInexact(), entry.Attributes(), entry.UtcOffset());
  kept.dirInexact = list.InInexactDirectory(entry.DirIndex());
  kept.seq = seq;
  std::push_heap(heap_.begin(), heap_.end(),
                 [this](const Kept& a, const Kept& b) { return Better(a, b); });
}

std::uint32_t TopKeeper::DirectoryOf(const Kept& kept, EntryList& best, Dirs& dirs) {
  // One record per level, as the walk made them: whether a line can hold a
  // directory's name is a matter of its own characters, and the separators
  // between the levels are in no name. Inexact is the walked directory's
  // own flag, which takes in its parents': the levels above keep none.
  const char separator = Separator(best.Style());
  std::uint32_t dirIndex = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < kept.dir.size();) {
    const std::size_t length = best.Code().CharLength(kept.dir, i);
    i += length;
    if (length != 1 || kept.dir[i - 1] != separator) continue;
    const bool inexact = i == kept.dir.size() && kept.dirInexact;
    auto [at, added] = dirs.try_emplace({kept.dir.substr(0, i), inexact}, 0);
    if (added) {
      const std::string_view name(kept.dir.data() + start, i - 1 - start);
      at->second = best.AddSubdirectory(dirIndex, name, inexact);
    }
    dirIndex = at->second;
    start = i;
  }
  return dirIndex;
}

std::uint64_t TopKeeper::KeepBestIn(const EntryList& walked, EntryList& best) {
  std::sort_heap(heap_.begin(), heap_.end(),
                 [this](const Kept& a, const Kept& b) { return Better(a, b); });
  best.SetRoot(walked.Root(), walked.Style(), walked.Code());
  Dirs dirs;
  std::uint64_t total = 0;
  for (const Kept& kept : heap_) {
    best.Add(kept.entry, kept.name.size() - 1, DirectoryOf(kept, best, dirs));
    total += kept.entry.Size();
  }
  return total;
}

}  // namespace tvx
