#include "Scan.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "Platform.h"

namespace tvx {

EntryList::EntryList() = default;
EntryList::~EntryList() = default;

const char* EntryList::Store(std::string_view name) {
  const std::size_t size = name.size() + 1;
  if (size > kArenaBlock / 4) {
    // A rare long name gets a block of its own so the shared block is not wasted.
    large_.push_back(std::make_unique<char[]>(size));
    char* own = large_.back().get();
    std::memcpy(own, name.data(), name.size());
    own[name.size()] = '\0';
    return own;
  }
  if (kArenaBlock - arenaUsed_ < size) {
    arena_.push_back(std::make_unique<char[]>(kArenaBlock));
    arenaUsed_ = 0;
  }
  char* at = arena_.back().get() + arenaUsed_;
  std::memcpy(at, name.data(), name.size());
  at[name.size()] = '\0';
  arenaUsed_ += size;
  return at;
}

std::uint32_t EntryList::SetRoot(std::string fullPath, PathStyle style, const CodePage& code) {
  root_ = std::move(fullPath);
  ShowControlChars(root_);
  style_ = style;
  code_ = code;
  dirs_.clear();
  dirs_.push_back({"", 0, static_cast<std::uint32_t>(root_.size())});
  return 0;
}

std::uint32_t EntryList::AddSubdirectory(std::uint32_t parent, const TTarvixFileInfo& entry) {
  const std::uint64_t length = std::uint64_t{dirs_[parent].PrefixLength} + entry.Name().size() + 1;
  if (length > UINT32_MAX || dirs_.size() >= TTarvixFileInfo::kDirFlag) throw std::bad_alloc();
  dirs_.push_back({entry.NameData, parent, static_cast<std::uint32_t>(length)});
  return static_cast<std::uint32_t>(dirs_.size() - 1);
}

const TTarvixFileInfo& EntryList::Add(std::string_view name, std::uint32_t dirIndex,
                                      std::uint64_t size, TDateTime time, bool isDir) {
  // Names hold no zero byte on any system; one would cut the stored name short.
  if (name.size() >= kArenaBlock) throw std::bad_alloc();
  if (count_ == chunks_.size() * kChunk) {
    chunks_.push_back(std::make_unique<TTarvixFileInfo[]>(kChunk));
  }
  TTarvixFileInfo& entry = chunks_[count_ / kChunk][count_ % kChunk];
  // Records hold names as they are shown; the walk keeps the real ones.
  if (HasControlChars(name)) {
    std::string shown(name);
    ShowControlChars(shown);
    entry.NameData = Store(shown);
  } else {
    entry.NameData = Store(name);
  }
  entry.SizeBytes = size;
  entry.DirAndFlag = dirIndex | (isDir ? TTarvixFileInfo::kDirFlag : 0);
  const TDateTime units = time / 2;
  entry.TimeUnits = units <= 0            ? 0
                    : units >= UINT32_MAX ? UINT32_MAX
                                          : static_cast<std::uint32_t>(units);
  ++count_;
  return entry;
}

void EntryList::Clear() {
  chunks_.clear();
  count_ = 0;
  arena_.clear();
  large_.clear();
  arenaUsed_ = kArenaBlock;
  dirs_.clear();
  root_.clear();
}

std::string EntryList::FullPrefix(std::uint32_t dirIndex) const {
  FullPrefixCache cache(*this);
  return cache.For(dirIndex);
}

DirLocation EntryList::Location(const TTarvixFileInfo& entry) const {
  return LocateDirectory(FullPrefix(entry.DirIndex()), style_, code_);
}

const std::string& FullPrefixCache::For(std::uint32_t dirIndex) {
  if (dirIndex == current_) return text_;
  const auto& dirs = list_.dirs_;
  const char sep = Separator(list_.style_);
  const auto& target = dirs[dirIndex];
  if (current_ != UINT32_MAX && dirIndex != 0 && target.Parent == current_) {
    // One level down.
    text_.append(target.Name);
    text_ += sep;
  } else {
    // Up to an ancestor of the current one: its prefix is already there.
    std::uint32_t walk = current_;
    while (walk != UINT32_MAX && walk != dirIndex && walk != 0) walk = dirs[walk].Parent;
    if (walk == dirIndex) {
      text_.resize(target.PrefixLength);
    } else {
      std::vector<std::uint32_t> chain;
      for (std::uint32_t d = dirIndex; d != 0; d = dirs[d].Parent) chain.push_back(d);
      text_ = list_.root_;
      text_.reserve(target.PrefixLength);
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        text_.append(dirs[*it].Name);
        text_ += sep;
      }
    }
  }
  current_ = dirIndex;
  return text_;
}

namespace {

// One directory's entries, read whole before any of its subdirectories is
// entered, so the walk needs no more than the entries of the directories on
// the current path.
struct Batch : EntrySink {
  struct Item {
    std::size_t NameStart;
    std::size_t NameLength;
    std::uint64_t Size;
    TDateTime Time;
    bool IsDir;
    bool Enter;
  };
  std::string names;
  std::vector<Item> items;

  void Add(const RawEntry& e) override {
    items.push_back({names.size(), e.Name.size(), e.IsDir || e.IsLink ? 0 : e.Size, e.DateTime,
                     e.IsDir, e.IsDir && !e.IsLink});
    names.append(e.Name);
  }
  std::string_view Name(const Item& item) const {
    return std::string_view(names).substr(item.NameStart, item.NameLength);
  }
};

// A directory being walked: its handle, its batch and how far it has been
// emitted. The full path is not kept per frame: it is the shared path string
// cut to pathLength.
struct Frame {
  std::unique_ptr<DirHandle> handle;
  std::uint32_t dirIndex = 0;
  std::size_t pathLength = 0;
  Batch batch;
  std::size_t next = 0;
};

}  // namespace

std::string ScanRootPath(Platform& platform, const std::string& dir) {
  const PathStyle style = platform.Style();
  const CodePage& code = platform.Code();
  return WithSeparator(platform.FullPath(WithSeparator(dir, style, code)), style, code);
}

std::uint64_t ScanDirectory(Platform& platform, const std::string& dir, EntryList& list,
                            bool recursive, bool withDetails) {
  const char sep = Separator(platform.Style());
  std::uint64_t total = 0;

  list.Clear();
  std::string path = ScanRootPath(platform, dir);
  list.SetRoot(path, platform.Style(), platform.Code());

  // An explicit stack rather than recursion: a tree thousands of levels deep
  // must not exhaust the call stack.
  std::vector<Frame> stack;
  auto open = [&](DirHandle* parent, std::string_view name, std::uint32_t dirIndex) {
    Frame frame;
    frame.handle = platform.Enter(parent, name, path);
    frame.dirIndex = dirIndex;
    frame.pathLength = path.size();
    platform.ReadDirectory(*frame.handle, path, withDetails, frame.batch);
    stack.push_back(std::move(frame));
  };
  open(nullptr, {}, 0);

  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.batch.items.size()) {
      stack.pop_back();
      continue;
    }
    const Batch::Item& item = frame.batch.items[frame.next++];
    const std::string_view name = frame.batch.Name(item);
    const TTarvixFileInfo& entry = list.Add(name, frame.dirIndex, item.Size, item.Time, item.IsDir);
    total += item.Size;
    if (recursive && item.Enter) {
      path.resize(frame.pathLength);
      path.append(name);
      path += sep;
      open(frame.handle.get(), name, list.AddSubdirectory(frame.dirIndex, entry));  // moves frame
    }
  }
  return total;
}

}  // namespace tvx
