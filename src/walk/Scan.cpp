#include "Scan.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "Choice.h"
#include "Order.h"
#include "ScanBatch.h"
#include "WalkEngine.h"
#include "WalkPlan.h"
#include "platform/DirSource.h"
#include "text/Failure.h"
#include "text/NameArena.h"

namespace tvx {

namespace {

// A directory being walked: where the engine has it, its batch and how far
// it has been emitted. Frames are reused level by level, with their buffers.
struct Frame {
  explicit Frame(const ScanRules& rules) : batch(rules) {}
  EntryList::PathMark listed{};  // the list before this directory
  WalkEngine::Dir* dir = nullptr;
  std::uint32_t dirIndex = 0;
  ScanBatch batch;
  std::size_t next = 0;
  bool entered = false;  // the consumer was told it entered the directory
};

}  // namespace

const Choice& NoChoice() {
  static const Choice none;
  return none;
}

std::string ScanRootPath(DirectorySource& platform, const std::string& dir) {
  const PathStyle style = platform.Style();
  const CodePage& code = platform.Code();
  return WithSeparator(platform.FullPath(WithSeparator(dir, style, code)), style, code);
}

namespace {

// The full path of directory dirIndex, and of its subdirectory name when
// one is given, as messages show it. Worked out only for a message.
std::string ShownPath(const EntryList& list, std::uint32_t dirIndex, std::string_view name,
                      DirectorySource& platform) {
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

// The walk of ScanDirectory over the list's root, in pre-order. It keeps an
// explicit stack rather than recursing: a tree thousands of levels deep must
// not exhaust the call stack.
class Walker {
 public:
  // The run's done ends the walk; the observer hears of each read.
  Walker(DirectorySource& platform, EntryList& list, const ScanRules& rules, const WalkDone& done,
         WalkObserver* observer, bool withDetails, const SkippedDirectory& onSkipped,
         WalkProgress* progress)
      : platform_(platform),
        list_(list),
        rules_(rules),
        done_(done),
        observer_(observer),
        onSkipped_(onSkipped),
        progress_(progress),
        engine_(platform, withDetails) {
    if (rules.recursive) {
      engine_.ForecastWith([&rules](DirListing& listing, std::size_t depth) {
        return ForecastEntered(rules, listing, depth);
      });
    }
  }

  std::uint64_t Run() {
    keeps_ = list_.Consumer() == nullptr;
    Open(nullptr, nullptr);
    while (depth_ > 0 && !ended_) Step(*stack_[depth_ - 1]);
    // Ended early: the directories still on the path are left, innermost first.
    while (depth_ > 0) {
      Frame& frame = *stack_[--depth_];
      engine_.Leave(*frame.dir);
      TellLeft(frame);
    }
    return total_;
  }

 private:
  // Emits the next entry of frame, entering it when the walk goes into it,
  // or leaves frame when it has no more.
  void Step(Frame& frame) {
    if (keeps_) {
      ListRun(frame);
      if (ended_) return;
    }
    if (frame.next == frame.batch.items.size()) {
      engine_.Leave(*frame.dir);
      TellLeft(frame);
      list_.Rewind(frame.listed);
      --depth_;
      return;
    }
    const ScanBatch::Item& item = frame.batch.items[frame.next++];
    if (item.pending) {
      // Its line still comes before its contents, which are not listed yet.
      const std::size_t depth = depth_;
      Open(&frame, &item);
      const bool empty = depth_ > depth && stack_[depth]->batch.seen == 0;
      if (empty ? !item.listed : item.listed) List(frame, item);
      return;
    }
    if (item.listed) List(frame, item);
    if (item.enter && !ended_) Open(&frame, &item);
  }

  // Lists the items from frame.next on that are only listed (neither
  // entered nor pending) in one loop: most entries of a walk that keeps them.
  void ListRun(Frame& frame) {
    const std::vector<ScanBatch::Item>& items = frame.batch.items;
    std::size_t next = frame.next;
    for (; next < items.size() && !ended_; ++next) {
      const ScanBatch::Item& item = items[next];
      if (!item.listed || item.enter || item.pending) break;
      const TTarvixFileInfo& entry =
          list_.Keep(item.entry, item.nameLength, frame.dirIndex,
                     NameFacts{static_cast<std::uint8_t>(item.factBits)});
      total_ += entry.Size();
      ended_ = done_ && done_(entry);
    }
    frame.next = next;
  }

  void List(const Frame& frame, const ScanBatch::Item& item) {
    const TTarvixFileInfo& entry =
        list_.Add(item.entry, item.nameLength, frame.dirIndex,
                  NameFacts{static_cast<std::uint8_t>(item.factBits)}, frame.batch.FactsOf(item));
    total_ += entry.Size();
    ended_ = done_ && done_(entry);
  }

  // Enters and reads the root (parent null) or the subdirectory item of
  // parent, and pushes its frame. A failure names the directory; one that
  // cannot be entered or read is left out when onSkipped is given.
  void Open(Frame* parent, const ScanBatch::Item* item) {
    if (depth_ == stack_.size()) stack_.push_back(std::make_unique<Frame>(rules_));
    Frame& frame = *stack_[depth_];
    Prepare(frame, parent, item);
    const auto where = [&] {
      return parent ? ShownPath(list_, parent->dirIndex, item->Name(), platform_)
                    : ShownPath(list_, 0, {}, platform_);
    };
    try {
      EnterAndRead(frame, parent, item);
      // What it will enter, and in which order: all that the engine reads
      // ahead. It may open the directory again, which may fail.
      engine_.WillEnter(*frame.dir, frame.batch.Entered());
    } catch (IoFailure& failure) {
      // The directory that failed: this one, or one on the path that could
      // not be opened again.
      const std::size_t at = FailedFrame(failure);
      failure.SetPath(at == depth_ ? where()
                                   : ShownPath(list_, stack_[at]->dirIndex, {}, platform_));
      if (!onSkipped_) throw;
      // The consumer counts the directory that failed, and hears of the
      // failure while it is still in it.
      if (rules_.consumer && at == depth_ && parent && !frame.entered)
        TellEntered(frame, parent, item);
      onSkipped_(failure);
      GiveUp(at);
      return;
    } catch (Failure& failure) {
      failure.SetPath(where());
      throw;
    }
    if (progress_ && progress_->Count(frame.batch.items.size())) progress_->Show(where());
    ++depth_;
  }

  // The frame of the directory that failed: the one being opened, unless
  // the engine could not open again one on the walk's path.
  std::size_t FailedFrame(const IoFailure& failure) const {
    const auto* lost = dynamic_cast<const WalkEngine::LostFailure*>(&failure);
    for (std::size_t at = 0; lost && at < depth_; ++at) {
      if (stack_[at]->dir == &lost->Lost()) return at;
    }
    return depth_;
  }

  // Leaves the frame being opened and those above it up to frame at. The
  // records listed stay listed; what was read of them and not yet listed is
  // left out.
  void GiveUp(std::size_t at) {
    for (std::size_t i = depth_ + 1; i-- > at;) {
      Frame& frame = *stack_[i];
      if (frame.dir) engine_.Leave(*frame.dir);
      TellLeft(frame);
      frame.dir = nullptr;
      frame.batch.Clear();
    }
    list_.Rewind(stack_[at]->listed);
    depth_ = at;
  }

  void Prepare(Frame& frame, const Frame* parent, const ScanBatch::Item* item) {
    frame.batch.Clear();
    frame.batch.level = static_cast<std::uint32_t>(depth_ + 1);
    frame.batch.seen = 0;
    frame.batch.countOnly = item && item->peek;
    frame.batch.listsAll =
        !frame.batch.countOnly && !rules_.storage && rules_.choice.ListsEverything();
    if (parent && rules_.choice.HasPathPatterns()) {
      frame.batch.relativeDir = parent->batch.relativeDir;
      frame.batch.relativeDir.append(item->Name());
      frame.batch.relativeDir += Separator(platform_.Style());
    }
    frame.next = 0;
    frame.listed = list_.Mark();
    frame.dir = nullptr;  // stays so when it cannot be entered
    frame.entered = false;
    if (observer_) observer_->BeforeRead();
  }

  void EnterAndRead(Frame& frame, Frame* parent, const ScanBatch::Item* item) {
    frame.dir =
        parent ? &engine_.Enter(*parent->dir, item->Name()) : &engine_.EnterRoot(list_.Root());
    TellEntered(frame, parent, item);
    // A read that cannot start or fails part way is the directory's failure,
    // never an empty or a shorter listing: a batch built from it would miss
    // files without a word.
    engine_.Read(*frame.dir, frame.batch);
    frame.batch.Sort();
  }

  // Adds frame's directory to the list, and tells the consumer it is entered.
  void TellEntered(Frame& frame, const Frame* parent, const ScanBatch::Item* item) {
    frame.dirIndex =
        parent ? list_.AddSubdirectory(parent->dirIndex, item->Name(), item->entry.IsInexact()) : 0;
    if (!rules_.consumer) return;
    frame.entered = true;
    StorageFacts own;
    if (rules_.storage) {
      const StorageFacts* known = parent ? parent->batch.FactsOf(*item) : nullptr;
      own = known ? *known : platform_.StorageOf(list_.Root());
    }
    rules_.consumer->Entered(list_, frame.dirIndex, own);
  }

  void TellLeft(Frame& frame) {
    if (!frame.entered) return;
    frame.entered = false;
    rules_.consumer->Left(list_, frame.dirIndex);
  }

  DirectorySource& platform_;
  EntryList& list_;
  const ScanRules& rules_;
  const WalkDone& done_;
  WalkObserver* observer_;
  const SkippedDirectory& onSkipped_;
  WalkProgress* progress_;
  WalkEngine engine_;
  std::vector<std::unique_ptr<Frame>> stack_;
  std::size_t depth_ = 0;
  std::uint64_t total_ = 0;
  bool ended_ = false;  // the run's done said so: the walk ends
  bool keeps_ = false;  // the list keeps its records (streams to no consumer)
};

}  // namespace

std::uint64_t ScanDirectory(DirectorySource& platform, const std::string& dir, EntryList& list,
                            const WalkPlan& plan, const WalkListeners& listeners,
                            const WalkDone& done) {
  list.Clear();
  list.SetRoot(ScanRootPath(platform, dir), platform.Style(), platform.Code());
  EntryConsumer* const consumer = list.Consumer();
  const bool storage = consumer && consumer->WantsStorage();
  if (storage) platform.AskStorage();
  // Keeping the tree's best, each directory is walked in the system's order.
  const bool sorted = plan.Order && plan.Until != WalkPlan::Stop::Best;
  const ScanRules rules{plan.Recursive, plan.Chosen, sorted ? &*plan.Order : nullptr,
                        consumer,       storage,     consumer && consumer->WantsLeftOut()};
  const SkippedDirectory skipped = plan.GoesOn ? listeners.Skipped : nullptr;
  Walker walker(platform, list, rules, done, listeners.Observer,
                plan.Details || plan.Chosen.NeedsDetails(), skipped, listeners.Progress);
  const std::uint64_t total = walker.Run();
  // Kept whole now: no large page need hold what no entry will fill.
  list.ReleaseUnusedEnd();
  if (listeners.Progress) listeners.Progress->Erase();
  return total;
}

}  // namespace tvx
