#include "TopN.h"

#include <algorithm>
#include <map>

#include "Failure.h"

namespace tvx {

std::uint64_t ParseTop(std::string_view value, const std::string& typed) {
  std::uint64_t n = 0;
  // 18 digits cannot overflow.
  if (value.empty() || value.size() > 18) throw InvalidValueFailure(typed);
  for (char c : value) {
    if (c < '0' || c > '9') throw InvalidValueFailure(typed);
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (n == 0) throw InvalidValueFailure(typed);
  return n;
}

bool TopKeeper::Better(const Kept& a, const Kept& b) const {
  const int order = order_.CompareKeys(Fields(a), Fields(b));
  return order != 0 ? order < 0 : a.seq < b.seq;
}

void TopKeeper::Take(const EntryList& list, const TTarvixFileInfo& entry) {
  if (!directoriesCount_ && entry.IsDir()) return;
  const std::uint64_t seq = seq_++;
  if (heap_.size() == n_) {
    // A tie with the worst kept goes to the worst: it came first.
    const SortFields fields{entry.Name(), entry.Size(), entry.ExactDateTime(), entry.IsDir()};
    if (order_.CompareKeys(fields, Fields(heap_.front())) >= 0) return;
    std::pop_heap(heap_.begin(), heap_.end(),
                  [this](const Kept& a, const Kept& b) { return Better(a, b); });
  } else {
    heap_.emplace_back();
  }
  if (!prefixes_) prefixes_ = std::make_unique<FullPrefixCache>(list);
  // The slot at the back is free now; its strings keep their buffers.
  Kept& kept = heap_.back();
  kept.dir.assign(prefixes_->For(entry.DirIndex()), list.Root().size());
  kept.name.assign(entry.Name());
  kept.size = entry.Size();
  kept.time = entry.ExactDateTime();
  kept.attributes = entry.Attributes();
  kept.isDir = entry.IsDir();
  kept.inexact = entry.IsInexact();
  kept.dirInexact = list.InInexactDirectory(entry.DirIndex());
  kept.seq = seq;
  std::push_heap(heap_.begin(), heap_.end(),
                 [this](const Kept& a, const Kept& b) { return Better(a, b); });
}

// The kept entry's directory in best, made with its parents the first time:
// each by its own name, so that the names are checked as the walk's were.
std::uint32_t TopKeeper::DirectoryOf(const Kept& kept, EntryList& best,
                                     std::map<std::string, std::uint32_t>& dirs) {
  const char separator = Separator(best.Style());
  std::uint32_t parent = 0;
  for (std::size_t end = kept.dir.find(separator); end != std::string::npos;
       end = kept.dir.find(separator, end + 1)) {
    auto [at, added] = dirs.try_emplace(kept.dir.substr(0, end + 1), 0);
    if (added) {
      const std::size_t start = kept.dir.rfind(separator, end - 1);
      const std::size_t from = start == std::string::npos || end == 0 ? 0 : start + 1;
      const std::string_view name(kept.dir.data() + from, end - from);
      at->second = best.AddSubdirectory(parent, best.StoreName(name), kept.dirInexact);
    }
    parent = at->second;
  }
  return parent;
}

std::uint64_t TopKeeper::Replay(const EntryList& walked, EntryList& best) {
  std::sort_heap(heap_.begin(), heap_.end(),
                 [this](const Kept& a, const Kept& b) { return Better(a, b); });
  best.SetRoot(walked.Root(), walked.Style(), walked.Code());
  std::map<std::string, std::uint32_t> dirs;
  std::uint64_t total = 0;
  for (const Kept& kept : heap_) {
    const std::uint32_t dirIndex = DirectoryOf(kept, best, dirs);
    best.AddStored(best.StoreName(kept.name), kept.name.size(), dirIndex, kept.size, kept.time,
                   kept.isDir, kept.inexact, kept.attributes);
    total += kept.size;
  }
  return total;
}

}  // namespace tvx
