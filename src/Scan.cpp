#include "Scan.h"

#include <algorithm>
#include <cstring>

#include "Choice.h"
#include "Failure.h"
#include "Order.h"
#include "Platform.h"
#include "Progress.h"

namespace tvx {

namespace {

// One directory's entries, read whole before any of its subdirectories is
// entered, so the walk needs no more than the entries of the directories on
// the current path. Names go straight into the list's arena, as they are.
// Only what is listed, or entered, is kept: the filters decide as it is read.
struct Batch : EntrySink {
  struct Item {
    const char* name;
    std::size_t nameLength;
    std::uint64_t size;
    TDateTime time;
    bool isDir;
    bool enter;
    bool inexact;
    bool listed;
    std::string_view Name() const { return {name, nameLength}; }
  };
  Batch(EntryList& list, const Choice& choice, bool recursive)
      : list(&list), choice(&choice), recursive(recursive) {}

  EntryList* list;
  const Choice* choice;
  bool recursive;
  std::uint32_t level = 1;  // of the entries read: 1 for the scanned directory's own
  std::string relativeDir;  // the directory's path below the scanned one, with /X paths only
  std::string path;         // scratch: an entry's path below the scanned directory
  std::vector<Item> items;

  void Add(const RawEntry& e) override {
    const std::string_view own = e.LongName.empty() ? e.Name : e.LongName;
    if (choice->HasPathPatterns()) {
      path.assign(relativeDir).append(own);
      if (choice->Excluded(own, path)) return;
    } else if (choice->Excluded(own, {})) {
      return;
    }
    const std::uint64_t size = e.IsDir || e.IsLink ? 0 : e.Size;
    const bool enter =
        recursive && e.IsDir && !e.IsLink && (choice->Levels() == 0 || level < choice->Levels());
    const bool listed = choice->Lists(
        {own, e.IsDir, e.IsLink, e.Hidden, e.System, e.ReadOnly, e.Archive, size, e.DateTime});
    if (!listed && !enter) return;
    items.push_back({list->StoreName(e.Name), e.Name.size(), size, e.DateTime, e.IsDir, enter,
                     e.Inexact, listed});
  }
  void Clear() { items.clear(); }
};

// A directory being walked: its handle, its batch and how far it has been
// emitted. Frames are reused level by level, with their buffers.
struct Frame {
  Frame(EntryList& list, const Choice& choice, bool recursive) : batch(list, choice, recursive) {}
  EntryList::ArenaMark mark{};  // the arena before this directory's names
  std::unique_ptr<DirHandle> handle;
  std::uint32_t dirIndex = 0;
  Batch batch;
  std::size_t next = 0;
};

}  // namespace

const Choice& NoChoice() {
  static const Choice none;
  return none;
}

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
  // The list keeps names as they are; messages show a control byte as "?".
  ShowControlChars(path);
  return WithoutFinalSeparator(path, platform.Style(), platform.Code());
}

// The walk of ScanDirectory over the list's root.
std::uint64_t Walk(Platform& platform, EntryList& list, bool recursive, bool withDetails,
                   const SkippedDirectory& onSkipped, const Choice& choice, ScanProgress* progress,
                   const EntryOrder* order) {
  std::uint64_t total = 0;
  // An explicit stack rather than recursion: a tree thousands of levels deep
  // must not exhaust the call stack.
  std::vector<std::unique_ptr<Frame>> stack;
  std::size_t depth = 0;
  // Enters and reads the root (parent null) or the subdirectory item of
  // parent. A failure names the directory; one that cannot be entered or
  // read is left out when onSkipped is given.
  auto open = [&](Frame* parent, const Batch::Item* item) {
    if (depth == stack.size()) stack.push_back(std::make_unique<Frame>(list, choice, recursive));
    Frame& frame = *stack[depth];
    frame.batch.Clear();
    frame.batch.level = static_cast<std::uint32_t>(depth + 1);
    if (parent && choice.HasPathPatterns()) {
      frame.batch.relativeDir = parent->batch.relativeDir;
      frame.batch.relativeDir.append(item->Name());
      frame.batch.relativeDir += Separator(platform.Style());
    }
    frame.next = 0;
    frame.mark = list.Mark();
    if (list.Streaming()) list.Consumer()->BeforeRead();
    const auto where = [&] {
      return parent ? ShownPath(list, parent->dirIndex, item->Name(), platform)
                    : ShownPath(list, 0, {}, platform);
    };
    try {
      frame.handle =
          parent ? platform.Enter(*parent->handle, item->Name()) : platform.EnterRoot(list.Root());
      frame.dirIndex =
          parent ? list.AddSubdirectory(parent->dirIndex, item->name, item->inexact) : 0;
      try {
        platform.ReadDirectory(*frame.handle, withDetails, frame.batch);
        if (order) {
          order->Sort(frame.batch.items, [](const Batch::Item& i) {
            return SortFields{i.Name(), i.size, i.time, i.isDir};
          });
        }
      } catch (const ReadFailure&) {
        if (onSkipped) throw;
        frame.batch.Clear();  // adds nothing, as an empty directory would
      }
    } catch (IoFailure& failure) {
      failure.SetPath(where());
      if (!onSkipped) throw;
      // Its record stays listed; what was read of it is left out.
      frame.handle.reset();
      frame.batch.Clear();
      if (list.Streaming()) list.Rewind(frame.mark);
      onSkipped(failure);
      return;
    } catch (Failure& failure) {
      failure.SetPath(where());
      throw;
    }
    if (progress && progress->Count(frame.batch.items.size())) progress->Show(where());
    ++depth;
  };
  open(nullptr, nullptr);

  while (depth > 0) {
    Frame& frame = *stack[depth - 1];
    if (frame.next == frame.batch.items.size()) {
      frame.handle.reset();
      if (list.Streaming()) list.Rewind(frame.mark);
      --depth;
      continue;
    }
    const Batch::Item& item = frame.batch.items[frame.next++];
    if (item.listed) {
      list.AddStored(item.name, item.nameLength, frame.dirIndex, item.size, item.time, item.isDir,
                     item.inexact);
      total += item.size;
    }
    if (item.enter) open(&frame, &item);
  }
  return total;
}

}  // namespace

std::uint64_t ScanDirectory(Platform& platform, const std::string& dir, EntryList& list,
                            bool recursive, bool withDetails, const SkippedDirectory& onSkipped,
                            const Choice& choice, ScanProgress* progress, const EntryOrder* order) {
  list.Clear();
  list.SetRoot(ScanRootPath(platform, dir), platform.Style());
  // Reading ahead must not read the subtrees the walk leaves out. The
  // platform may keep the test past the scan, on its threads: a copy.
  if (recursive && !choice.LimitsWalk()) {
    platform.ExpectRecursion();
  } else if (recursive && !choice.HasPathPatterns()) {
    platform.ExpectRecursion([copy = choice](std::string_view name, std::uint32_t level) {
      return copy.Enters(name, level);
    });
  }
  const std::uint64_t total = Walk(platform, list, recursive, withDetails || choice.NeedsDetails(),
                                   onSkipped, choice, progress, order);
  if (progress) progress->Erase();
  return total;
}

}  // namespace tvx
