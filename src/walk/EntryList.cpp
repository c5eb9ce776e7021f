#include "EntryList.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "text/Failure.h"
#include "text/Text.h"

namespace tvx {

EntryList::EntryList() = default;
EntryList::~EntryList() = default;

namespace {

// The distances from UTC that entries' times were read at. A zone has few
// (its standard and summer time, some more in its history), so a record
// keeps a 3-bit index into this table, 0 for none. Slots are claimed once
// and never change, without a lock: records are made on any thread.
constexpr std::size_t kOffsetSlots = 8;
std::atomic<std::int32_t> offsetTable[kOffsetSlots] = {
    kUnknownUtcOffset, kUnknownUtcOffset, kUnknownUtcOffset, kUnknownUtcOffset,
    kUnknownUtcOffset, kUnknownUtcOffset, kUnknownUtcOffset, kUnknownUtcOffset};

}  // namespace

std::uint64_t TTarvixFileInfo::OffsetIndex(std::int32_t seconds) {
  if (seconds == kUnknownUtcOffset) return 0;
  for (std::size_t i = 1; i < kOffsetSlots; ++i) {
    std::int32_t held = offsetTable[i].load(std::memory_order_acquire);
    if (held == kUnknownUtcOffset &&
        offsetTable[i].compare_exchange_strong(held, seconds, std::memory_order_acq_rel)) {
      return i;
    }
    if (held == seconds) return i;  // held is the slot's value either way
  }
  return 0;  // the table is full: the record tells none
}

std::int32_t TTarvixFileInfo::UtcOffset() const {
  const auto index = static_cast<std::size_t>((SizeBytes & kOffsetBits) >> kOffsetShift);
  return index == 0 ? kUnknownUtcOffset : offsetTable[index].load(std::memory_order_acquire);
}

std::uint32_t EntryList::SetRoot(std::string fullPath, PathStyle style, const CodePage& code) {
  // Kept as it is: the walk enters it by this path.
  root_ = std::move(fullPath);
  style_ = style;
  code_ = code;
  dirs_.clear();
  dirs_.push_back({"", 0, static_cast<std::uint32_t>(root_.size())});
  dirFlags_.assign(1, 0);
  rootControl_ = HasControlChars(root_);
  // Decided here, for the whole walk: streamed, its directories are a stack.
  stacked_ = consumer_ != nullptr;
  dirIndices_.assign(stacked_ ? 1 : 0, 0);
  dirCount_ = 1;
  return 0;
}

std::size_t EntryList::StackSlot(std::uint32_t dirIndex) const {
  const auto it = std::lower_bound(dirIndices_.begin(), dirIndices_.end(), dirIndex);
  return it != dirIndices_.end() && *it == dirIndex
             ? static_cast<std::size_t>(it - dirIndices_.begin())
             : dirs_.size();
}

std::uint32_t EntryList::AddSubdirectory(std::uint32_t parent, std::string_view name,
                                         bool inexact) {
  const std::size_t up = Slot(parent);
  const std::uint64_t length = std::uint64_t{dirs_[up].PrefixLength} + name.size() + 1;
  if (length > UINT32_MAX || dirCount_ > TTarvixFileInfo::kIndexMask) throw LimitFailure();
  dirs_.push_back({names_.Store(name), parent, static_cast<std::uint32_t>(length)});
  dirFlags_.push_back(static_cast<std::uint8_t>(dirFlags_[up] | (inexact ? kInexactPath : 0) |
                                                UnwritableOnALine(name, NameFactsOf(name))));
  if (stacked_) dirIndices_.push_back(dirCount_);
  return dirCount_++;
}

std::uint8_t EntryList::UnwritableOnWindows(std::string_view name, NameFacts facts) const {
  // A name Win32 takes for another first: not even /0 writes it.
  if (Win32RewritesName(name)) return kRewrittenPath;
  if (facts.Control()) return kUnwritablePath;
  // Only a foreign file system (a Unix mount) gives a Windows program such
  // a name; no quoting makes cmd read it back.
  if (!facts.Special()) return 0;
  constexpr std::string_view kNoWindowsName = "\"*?<>|:\\";
  if (!code_.IsMultiByte())
    return name.find_first_of(kNoWindowsName) != std::string_view::npos ? kUnwritablePath : 0;
  // Whole characters only: a Shift-JIS trail byte may equal "\\".
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = code_.CharLength(name, i);
    if (length == 1 && kNoWindowsName.find(name[i]) != std::string_view::npos)
      return kUnwritablePath;
    i += length;
  }
  return 0;
}

const TTarvixFileInfo& EntryList::Add(const TTarvixFileInfo& given, std::size_t nameLength,
                                      std::uint32_t dirIndex, NameFacts facts,
                                      const StorageFacts* storage) {
  if (!consumer_) return Keep(given, nameLength, dirIndex, facts);
  streamed_ = given;
  Note(streamed_, nameLength, dirIndex, facts);
  if (storage) {
    consumer_->TakeStored(*this, streamed_, *storage);
  } else {
    consumer_->Take(*this, streamed_);
  }
  return streamed_;
}

TTarvixFileInfo* EntryList::NewChunk() {
  constexpr std::size_t kChunkBytes = kChunk * sizeof(TTarvixFileInfo);
  static_assert(kChunkBytes <= kLargePage && alignof(TTarvixFileInfo) <= 16);
  if (blockLeft_ < kChunkBytes) {
    const bool large = LargePagesAdvised() && chunks_.size() * kChunkBytes >= kLargeBlocksFrom;
    chunkBlocks_.push_back(large ? NewLargeBlock() : NewBlock(kChunkBytes));
    chunkAt_ = chunkBlocks_.back().get();
    blockLeft_ = large ? kLargePage : kChunkBytes;
  }
  auto* const chunk = reinterpret_cast<TTarvixFileInfo*>(chunkAt_);
  std::uninitialized_default_construct_n(chunk, kChunk);
  chunkAt_ += kChunkBytes;
  blockLeft_ -= kChunkBytes;
  chunks_.push_back(chunk);
  return chunk;
}

void EntryList::ReleaseUnusedEnd() {
  names_.ReleaseUnusedEnd();
  if (!chunkBlocks_.empty() && chunkBlocks_.back().get_deleter().large)
    ReleaseUnused(chunkAt_, chunkAt_ + blockLeft_);
}

void EntryList::Rewind(const PathMark& mark) {
  if (!stacked_) return;
  names_.Rewind(mark.names);
  if (mark.dirs > 0 && mark.dirs < dirs_.size()) {
    dirs_.resize(mark.dirs);
    dirFlags_.resize(mark.dirs);
    dirIndices_.resize(mark.dirs);
  }
}

void EntryList::Clear() {
  chunks_.clear();
  chunkBlocks_.clear();
  chunkAt_ = nullptr;
  blockLeft_ = 0;
  count_ = 0;
  firstInexact_ = 0;
  names_.Clear();
  dirs_.clear();
  dirFlags_.clear();
  rootControl_ = false;
  dirIndices_.clear();
  dirCount_ = 0;
  stacked_ = false;
  root_.clear();
}

const std::string& FullPrefixCache::MoveTo(std::uint32_t dirIndex) {
  const auto& dirs = list_.dirs_;
  const char sep = Separator(list_.style_);
  const auto& target = dirs[list_.Slot(dirIndex)];
  if (current_ != UINT32_MAX && dirIndex != 0 && target.Parent == current_) {
    // One level down.
    text_.append(target.Name);
    text_ += sep;
  } else if (current_ != UINT32_MAX && IsAncestor(dirIndex, current_)) {
    // Up to an ancestor of the current one: its prefix is already there.
    text_.resize(target.PrefixLength);
  } else {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t d = dirIndex; d != 0; d = dirs[list_.Slot(d)].Parent) chain.push_back(d);
    text_ = list_.root_;
    text_.reserve(target.PrefixLength);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      text_.append(dirs[list_.Slot(*it)].Name);
      text_ += sep;
    }
  }
  current_ = dirIndex;
  return text_;
}

// Whether directory a (one that is kept) holds directory b. Streamed, b may
// have been left; a directory still on the stack and added before b was on
// the stack when b was added, so it holds b.
bool FullPrefixCache::IsAncestor(std::uint32_t a, std::uint32_t b) const {
  if (list_.stacked_) return a < b;
  while (b != a && b != 0) b = list_.dirs_[b].Parent;
  return b == a;
}

}  // namespace tvx
