#include "DuTotals.h"

#include <algorithm>

namespace tvx {

void DuCounter::Enter(const StorageFacts& own) {
  DirTotal total;
  total.Depth = static_cast<std::uint32_t>(stack_.size());
  if (own.Known) {
    total.Size = own.Apparent;
    total.Alloc = own.Allocated;
  }
  stack_.push_back(total);
}

void DuCounter::AddFile(const StorageFacts& facts, std::uint64_t listedSize) {
  if (stack_.empty()) return;
  DirTotal& top = stack_.back();
  ++top.Files;
  if (!facts.Known) {
    top.Size += listedSize;
    top.Alloc += listedSize;
    return;
  }
  // Every name of the file counts as a file; its bytes count at the first.
  if (facts.Links > 1 && !linked_.insert({facts.Device, facts.Inode}).second) return;
  top.Size += facts.Apparent;
  top.Alloc += facts.Allocated;
}

void DuCounter::MarkPartial() {
  if (!stack_.empty()) stack_.back().Partial = true;
}

DirTotal DuCounter::Leave() {
  const DirTotal done = stack_.back();
  stack_.pop_back();
  if (!stack_.empty()) {
    DirTotal& parent = stack_.back();
    parent.Size += done.Size;
    parent.Alloc += done.Alloc;
    parent.Files += done.Files;
    parent.Dirs += done.Dirs + 1;
    parent.Partial = parent.Partial || done.Partial;
  }
  return done;
}

bool LargestDirs::Before(const Kept& a, const Kept& b) const {
  if (a.Key != b.Key) return smallestFirst_ ? a.Key < b.Key : a.Key > b.Key;
  return a.Seen < b.Seen;
}

bool LargestDirs::Wants(std::uint64_t key) const {
  if (n_ == 0 || heap_.size() < n_) return true;
  const std::uint64_t worst = heap_.front().Key;
  return smallestFirst_ ? key < worst : key > worst;
}

void LargestDirs::Add(Kept kept) {
  if (!Wants(kept.Key)) {
    ++seen_;
    return;
  }
  kept.Seen = seen_++;
  const auto worse = [this](const Kept& a, const Kept& b) { return Before(a, b); };
  if (n_ != 0 && heap_.size() == n_) {
    std::pop_heap(heap_.begin(), heap_.end(), worse);
    heap_.pop_back();
  }
  heap_.push_back(std::move(kept));
  std::push_heap(heap_.begin(), heap_.end(), worse);
}

std::vector<LargestDirs::Kept> LargestDirs::Take() {
  std::vector<Kept> best = std::move(heap_);
  std::sort(best.begin(), best.end(),
            [this](const Kept& a, const Kept& b) { return Before(a, b); });
  return best;
}

std::string HumanSize(std::uint64_t bytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  int unit = 0;
  long double value = static_cast<long double>(bytes);
  while (value >= 1024 && unit < 6) {
    value /= 1024;
    ++unit;
  }
  // Tenths, rounded up as du -h does, so that a size is never shown smaller.
  auto tenths = static_cast<std::uint64_t>(value * 10);
  if (static_cast<long double>(tenths) < value * 10) ++tenths;
  if (tenths >= 100) {
    std::uint64_t whole = (tenths + 9) / 10;
    if (whole >= 1024 && unit < 6) return "1.0 " + std::string(kUnits[unit + 1]);
    return std::to_string(whole) + " " + kUnits[unit];
  }
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

}  // namespace tvx
