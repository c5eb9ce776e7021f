#include "Scan.h"

#include <cstring>
#include <new>

#include "Platform.h"

namespace tvx {

EntryList::EntryList() = default;
EntryList::~EntryList() = default;

std::uint32_t EntryList::AddDirectory(DirLocation where) {
  dirs_.push_back(std::move(where));
  return static_cast<std::uint32_t>(dirs_.size() - 1);
}

const char* EntryList::Store(std::string_view name) {
  if (name.size() > kArenaBlock / 4) {
    // A rare long name gets a block of its own so the shared block is not wasted.
    large_.push_back(std::make_unique<char[]>(name.size()));
    std::memcpy(large_.back().get(), name.data(), name.size());
    return large_.back().get();
  }
  if (kArenaBlock - arenaUsed_ < name.size()) {
    arena_.push_back(std::make_unique<char[]>(kArenaBlock));
    arenaUsed_ = 0;
  }
  char* at = arena_.back().get() + arenaUsed_;
  std::memcpy(at, name.data(), name.size());
  arenaUsed_ += name.size();
  return at;
}

void EntryList::Add(std::string_view name, std::uint32_t dirIndex, std::uint64_t size,
                    TDateTime time, bool isDir) {
  if (name.size() > UINT32_MAX) throw std::bad_alloc();
  if (count_ % kChunk == 0 && count_ / kChunk == chunks_.size()) {
    chunks_.push_back(std::make_unique<TTarvixFileInfo[]>(kChunk));
  }
  TTarvixFileInfo& entry = chunks_[count_ / kChunk][count_ % kChunk];
  entry.NameData = Store(name);
  entry.NameLength = static_cast<std::uint32_t>(name.size());
  entry.DirIndex = dirIndex;
  entry.Size = size;
  entry.DateTime = time;
  entry.IsDir = isDir;
  ++count_;
}

void EntryList::Clear() {
  chunks_.clear();
  count_ = 0;
  arena_.clear();
  large_.clear();
  arenaUsed_ = kArenaBlock;
  dirs_.clear();
}

namespace {

// One directory's entries, read whole before any of its subdirectories is
// entered, so only one directory is open at a time however deep the tree.
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
    items.push_back({names.size(), e.Name.size(), e.IsDir ? 0 : e.Size, e.DateTime, e.IsDir,
                     e.IsDir && !e.IsLink});
    names.append(e.Name);
  }
  std::string_view Name(const Item& item) const {
    return std::string_view(names).substr(item.NameStart, item.NameLength);
  }
};

// A directory being walked: its batch and how far it has been emitted.
struct Frame {
  std::string path;  // full, ending in a separator
  std::uint32_t dirIndex;
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
  const PathStyle style = platform.Style();
  const CodePage& code = platform.Code();
  const char sep = Separator(style);
  std::uint64_t total = 0;

  list.Clear();
  std::string top = ScanRootPath(platform, dir);

  // An explicit stack rather than recursion: a tree thousands of levels deep
  // must not exhaust the call stack.
  std::vector<Frame> stack;
  auto open = [&](std::string path) {
    platform.CheckEnter(path);
    Frame frame;
    frame.dirIndex = list.AddDirectory(LocateDirectory(path, style, code));
    platform.ReadDirectory(path, withDetails, frame.batch);
    frame.path = std::move(path);
    stack.push_back(std::move(frame));
  };
  open(std::move(top));

  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.batch.items.size()) {
      stack.pop_back();
      continue;
    }
    const Batch::Item& item = frame.batch.items[frame.next++];
    std::string_view name = frame.batch.Name(item);
    list.Add(name, frame.dirIndex, item.Size, item.Time, item.IsDir);
    total += item.Size;
    if (recursive && item.Enter) {
      std::string child = frame.path;
      child.append(name);
      child += sep;
      open(std::move(child));  // invalidates frame
    }
  }
  return total;
}

}  // namespace tvx
