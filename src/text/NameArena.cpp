#include "NameArena.h"

#include <algorithm>
#include <cstring>

#include "text/Failure.h"

namespace tvx {

namespace {

char* CopyInto(char* at, std::string_view name) {
  std::memcpy(at, name.data(), name.size());
  at[name.size()] = '\0';
  return at;
}

}  // namespace

// Store's rarer cases: a name too long, one of its own, or a new block.
const char* NameArena::StoreApart(std::string_view name) {
  // Names hold no zero byte on any system; one would cut the stored name short.
  if (name.size() > kLongest) throw LimitFailure();
  const std::size_t size = name.size() + 1;
  if (size > block_ / 4) return CopyInto(LargeRoom(size), name);
  AddBlock(size);
  return Store(name);  // it fits now
}

void NameArena::AddBlock(std::size_t atLeast) {
  std::size_t size = std::min(block_, std::max({atLeast, kFirstBlock, 2 * LastSize()}));
  // Grown to its full blocks and big: a large page's worth at a time.
  const bool large = size == block_ && block_ <= kLargePage && LargePagesAdvised() &&
                     Capacity() >= kLargeBlocksFrom;
  if (large) size = kLargePage;
  if (spare_.bytes && spare_.size >= size) {
    blocks_.push_back(std::move(spare_));
    spare_ = {};
  } else {
    blocks_.push_back({large ? NewLargeBlock() : NewBlock(size), size});
  }
  used_ = 0;
}

void NameArena::TooLong() {
  throw LimitFailure();
}

// A rare long name gets a block of its own so the shared block is not wasted.
char* NameArena::LargeRoom(std::size_t size) {
  large_.push_back(std::make_unique_for_overwrite<char[]>(size));
  return large_.back().get();
}

void NameArena::Rewind(const Mark& mark) {
  while (blocks_.size() > mark.blocks) {
    // The largest given back is kept: the next one asked for is as large.
    if (!spare_.bytes || blocks_.back().size > spare_.size) spare_ = std::move(blocks_.back());
    blocks_.pop_back();
  }
  used_ = blocks_.empty() ? 0 : mark.used;
  large_.resize(mark.large);
}

void NameArena::ReleaseUnusedEnd() {
  if (blocks_.empty() || !blocks_.back().bytes.get_deleter().large) return;
  char* const bytes = blocks_.back().bytes.get();
  ReleaseUnused(bytes + used_, bytes + blocks_.back().size);
}

void NameArena::Clear() {
  blocks_.clear();
  large_.clear();
  spare_ = {};
  used_ = 0;
}

std::size_t NameArena::Capacity() const {
  std::size_t total = spare_.size;
  for (const Block& block : blocks_) total += block.size;
  return total;
}

}  // namespace tvx
