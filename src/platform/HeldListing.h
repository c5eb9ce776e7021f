// A directory's entries read whole and held, as the walk will be told them:
// what both systems' directory reads make.
#pragma once

#include <cstddef>
#include <vector>

#include "DirSource.h"
#include "text/Failure.h"
#include "text/NameArena.h"

namespace tvx {

class HeldListing : public DirListing {
 public:
  // Small blocks, and smaller still for a few names: a walk thousands of
  // levels deep holds a listing for each.
  NameArena names{std::size_t{1} << 12};
  std::vector<RawEntry> items;
  // The failure's number when the directory could not be read (part of it
  // may have been); 0 when it was.
  int failure = 0;

  std::size_t Count() const override { return items.size(); }
  bool HasSubdirectories() const override {
    for (const RawEntry& entry : items) {
      if (entry.IsDir && !entry.IsLink) return true;
    }
    return false;
  }
  void Deliver(EntrySink& sink) override {
    if (failure != 0) throw ReadFailure(failure);
    for (const RawEntry& entry : items) sink.Add(entry);
  }
};

}  // namespace tvx
