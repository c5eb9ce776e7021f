#include "TreeWalk.h"

#include <memory>

#include "TopN.h"

namespace tvx {

void HandKeptList(const EntryList& list, ListConsumer& consumer) {
  consumer.Check(list);
  consumer.TakeKept(list);
}

// Streamed, the consumer takes each entry as the walk reaches it; kept, the
// list holds them and hands them on after the walk. The best n of a tree
// are kept by a keeper that takes every entry, each directory walked in the
// system's order, and handed on as a kept list is.
std::uint64_t TreeWalk::Run(const std::string& dir, const WalkListeners& listeners,
                            ListConsumer& consumer) {
  const bool ranked = plan_.Until == WalkPlan::Stop::Best;
  std::unique_ptr<TopKeeper> top;
  if (ranked)
    top = std::make_unique<TopKeeper>(plan_.Count, *plan_.Order, plan_.DirectoriesCount, admit_);
  EntryConsumer* const taker = plan_.Streamed ? &consumer : nullptr;
  walked_.StreamTo(top ? top.get() : taker);
  WalkDone done;
  if (plan_.Until == WalkPlan::Stop::First)
    done = FirstEntries(plan_.Count, plan_.DirectoriesCount);
  std::uint64_t total = ScanDirectory(source_, dir, walked_, plan_, listeners, done);
  if (top) total = top->KeepBestIn(walked_, best_);
  if (!plan_.Streamed) HandKeptList(Handed(), consumer);
  return total;
}

}  // namespace tvx
