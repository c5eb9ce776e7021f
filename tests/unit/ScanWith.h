// The walk's plan spelled out in place, as the scan tests read best: the
// same scan the run makes from its plan.
#pragma once

#include "walk/Scan.h"
#include "walk/WalkPlan.h"

namespace tvx::test {

inline std::uint64_t ScanDirectory(DirectorySource& platform, const std::string& dir,
                                   EntryList& list, bool recursive, bool withDetails,
                                   const SkippedDirectory& onSkipped = nullptr,
                                   const Choice& choice = NoChoice(),
                                   WalkProgress* progress = nullptr,
                                   const EntryOrder* order = nullptr,
                                   const WalkDone& done = nullptr,
                                   WalkObserver* observer = nullptr) {
  WalkPlan plan;
  plan.Recursive = recursive;
  plan.Details = withDetails;
  plan.Chosen = choice;
  if (order) plan.Order = *order;
  plan.GoesOn = onSkipped != nullptr;
  return tvx::ScanDirectory(platform, dir, list, plan, {onSkipped, progress, observer}, done);
}

}  // namespace tvx::test
