#include "Scan.h"

#include <algorithm>
#include <cstring>

#include "Failure.h"
#include "Platform.h"
#include "Progress.h"
#include "WalkEngine.h"

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

std::uint32_t EntryList::SetRoot(std::string fullPath, PathStyle style) {
  root_ = std::move(fullPath);
  ShowControlChars(root_);
  style_ = style;
  dirs_.clear();
  dirs_.push_back({"", 0, static_cast<std::uint32_t>(root_.size())});
  inexactDirs_.assign(1, false);
  return 0;
}

std::uint32_t EntryList::AddSubdirectory(std::uint32_t parent, const TTarvixFileInfo& entry) {
  const std::uint64_t length = std::uint64_t{dirs_[parent].PrefixLength} + entry.Name().size() + 1;
  if (length > UINT32_MAX || dirs_.size() >= TTarvixFileInfo::kInexactFlag) throw LimitFailure();
  dirs_.push_back({entry.NameData, parent, static_cast<std::uint32_t>(length)});
  inexactDirs_.push_back(entry.IsInexact() || inexactDirs_[parent]);
  return static_cast<std::uint32_t>(dirs_.size() - 1);
}

const char* EntryList::StoreName(std::string_view name, bool* shownDiffers) {
  // Names hold no zero byte on any system; one would cut the stored name short.
  if (name.size() >= kArenaBlock) throw LimitFailure();
  // Records hold names as they are shown; the walk keeps the real ones.
  const bool differs = HasControlChars(name);
  if (shownDiffers) *shownDiffers = differs;
  if (differs) {
    std::string shown(name);
    ShowControlChars(shown);
    return Store(shown);
  }
  return Store(name);
}

const TTarvixFileInfo& EntryList::AddStored(const char* stored, std::uint32_t dirIndex,
                                            std::uint64_t size, TDateTime time, bool isDir,
                                            bool inexact) {
  if (count_ == chunks_.size() * kChunk) {
    chunks_.push_back(std::make_unique<TTarvixFileInfo[]>(kChunk));
  }
  TTarvixFileInfo& entry = chunks_[count_ / kChunk][count_ % kChunk];
  entry.NameData = stored;
  entry.SizeBytes = size;
  entry.DirAndFlag = dirIndex | (isDir ? TTarvixFileInfo::kDirFlag : 0) |
                     (inexact ? TTarvixFileInfo::kInexactFlag : 0);
  if (!inexact && firstInexact_ == count_) ++firstInexact_;
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
  firstInexact_ = 0;
  arena_.clear();
  large_.clear();
  arenaUsed_ = kArenaBlock;
  dirs_.clear();
  inexactDirs_.clear();
  root_.clear();
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

// Whether a recursive walk enters the entry: a directory, not a link.
bool Enters(const RawEntry& e) {
  return e.IsDir && !e.IsLink;
}

// What the walk will enter of a listing, told to the engine ahead of the walk
// so that its readers read ahead beyond the directories already handed over.
std::vector<std::string> ForecastEntered(DirListing& listing, std::size_t) {
  struct Names : EntrySink {
    void Add(const RawEntry& e) override {
      if (Enters(e)) names.emplace_back(e.Name);
    }
    std::vector<std::string> names;
  } sink;
  listing.Report(sink);
  return std::move(sink.names);
}

// One directory's entries, read whole before any of its subdirectories is
// entered, so the walk needs no more than the entries of the directories on
// the current path. Names go straight into the list's arena; the few whose
// shown form differs (control bytes) keep their real name here for the walk.
struct Batch : EntrySink {
  struct Item {
    const char* shown;
    std::size_t realStart;  // into real, or npos when the shown name is the real one
    std::size_t realLength;
    std::uint64_t size;
    TDateTime time;
    bool isDir;
    bool enter;
    bool inexact;
  };
  explicit Batch(EntryList& list) : list(&list) {}

  EntryList* list;
  std::string real;
  std::vector<Item> items;

  void Add(const RawEntry& e) override {
    bool shownDiffers = false;
    Item item{list->StoreName(e.Name, &shownDiffers),
              std::string::npos,
              0,
              e.IsDir || e.IsLink ? 0 : e.Size,
              e.DateTime,
              e.IsDir,
              Enters(e),
              e.Inexact};
    if (shownDiffers) {
      item.realStart = real.size();
      item.realLength = e.Name.size();
      real.append(e.Name);
    }
    items.push_back(item);
  }
  std::string_view RealName(const Item& item) const {
    if (item.realStart == std::string::npos) return item.shown;
    return std::string_view(real).substr(item.realStart, item.realLength);
  }
  // The real names of the subdirectories the walk enters, in its order.
  std::vector<std::string> Entered() const {
    std::vector<std::string> names;
    for (const Item& item : items) {
      if (item.enter) names.emplace_back(RealName(item));
    }
    return names;
  }
  void Clear() {
    real.clear();
    items.clear();
  }
};

// A directory being walked: its handle, its batch and how far it has been
// emitted. Frames are reused level by level, with their buffers.
struct Frame {
  explicit Frame(EntryList& list) : batch(list) {}
  WalkEngine::Dir* dir = nullptr;
  std::uint32_t dirIndex = 0;
  Batch batch;
  std::size_t next = 0;
};

}  // namespace

std::string ScanRootPath(Platform& platform, const std::string& dir) {
  const PathStyle style = platform.Style();
  const CodePage& code = platform.Code();
  return WithSeparator(platform.FullPath(WithSeparator(dir, style, code)), style, code);
}

namespace {

// The full path of directory dirIndex, and of its subdirectory name when
// one is given, as messages show it. Worked out only for a message.
std::string ShownPath(const EntryList& list, std::uint32_t dirIndex, std::string_view name,
                      Platform& platform) {
  FullPrefixCache prefixes(list);
  std::string path = prefixes.For(dirIndex);
  if (!name.empty()) {
    path.append(name);
    path += Separator(platform.Style());
  }
  return WithoutFinalSeparator(path, platform.Style(), platform.Code());
}

// The walk of ScanDirectory over the list's root.
std::uint64_t Walk(Platform& platform, EntryList& list, bool recursive, bool withDetails,
                   const SkippedDirectory& onSkipped, ScanProgress* progress) {
  std::uint64_t total = 0;
  WalkEngine engine(platform, withDetails);
  if (recursive) engine.ForecastWith(ForecastEntered);
  // An explicit stack rather than recursion: a tree thousands of levels deep
  // must not exhaust the call stack.
  std::vector<std::unique_ptr<Frame>> stack;
  std::size_t depth = 0;
  // Enters and reads the root (parent null) or the subdirectory item of
  // parent. A failure names the directory; one that cannot be entered or
  // read is left out when onSkipped is given.
  auto open = [&](Frame* parent, const Batch::Item* item, const TTarvixFileInfo* entry) {
    if (depth == stack.size()) stack.push_back(std::make_unique<Frame>(list));
    Frame& frame = *stack[depth];
    frame.batch.Clear();
    frame.next = 0;
    const auto where = [&] {
      return parent ? ShownPath(list, parent->dirIndex, item->shown, platform)
                    : ShownPath(list, 0, {}, platform);
    };
    try {
      frame.dir = nullptr;  // stays so when it cannot be entered
      frame.dir = parent ? &engine.Enter(*parent->dir, parent->batch.RealName(*item))
                         : &engine.EnterRoot(list.Root());
      frame.dirIndex = parent ? list.AddSubdirectory(parent->dirIndex, *entry) : 0;
      try {
        engine.Read(*frame.dir, frame.batch);
      } catch (const ReadFailure&) {
        if (onSkipped) throw;
        frame.batch.Clear();  // adds nothing, as an empty directory would
      }
    } catch (IoFailure& failure) {
      failure.SetPath(where());
      if (!onSkipped) throw;
      // Its record stays listed; what was read of it is left out.
      if (frame.dir) engine.Leave(*frame.dir);
      frame.batch.Clear();
      onSkipped(failure);
      return;
    } catch (Failure& failure) {
      failure.SetPath(where());
      throw;
    }
    if (progress && progress->Count(frame.batch.items.size())) progress->Show(where());
    // What it will enter, and in which order: all that the engine reads ahead.
    engine.WillEnter(*frame.dir, recursive ? frame.batch.Entered() : std::vector<std::string>{});
    ++depth;
  };
  open(nullptr, nullptr, nullptr);

  while (depth > 0) {
    Frame& frame = *stack[depth - 1];
    if (frame.next == frame.batch.items.size()) {
      engine.Leave(*frame.dir);
      --depth;
      continue;
    }
    const Batch::Item& item = frame.batch.items[frame.next++];
    const TTarvixFileInfo& entry =
        list.AddStored(item.shown, frame.dirIndex, item.size, item.time, item.isDir, item.inexact);
    total += item.size;
    if (recursive && item.enter) open(&frame, &item, &entry);
  }
  return total;
}

}  // namespace

std::uint64_t ScanDirectory(Platform& platform, const std::string& dir, EntryList& list,
                            bool recursive, bool withDetails, const SkippedDirectory& onSkipped,
                            ScanProgress* progress) {
  list.Clear();
  list.SetRoot(ScanRootPath(platform, dir), platform.Style());
  const std::uint64_t total = Walk(platform, list, recursive, withDetails, onSkipped, progress);
  if (progress) progress->Erase();
  return total;
}

}  // namespace tvx
