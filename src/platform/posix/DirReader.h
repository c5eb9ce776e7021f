// Reading one open directory whole, straight from the kernel.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/DirSource.h"
#include "text/NameArena.h"

namespace tvx {

// One directory as the kernel reports it, held until the walk asks.
struct Listing {
  bool readable = false;
  int error = 0;  // errno when the directory could not be opened for reading
  // Small blocks: hundreds of listings may be held at once.
  NameArena names{std::size_t{1} << 12};
  std::vector<RawEntry> items;

  void Clear() {
    readable = false;
    error = 0;
    names.Clear();
    items.clear();
  }
};

// Reads the open directory fd whole into out, in large batches, with a stat
// call only for what must be asked: the type when the directory read did not
// give it, sizes, times and the owner's right to write when withDetails.
// buffer is scratch space.
void ReadListing(int fd, bool withDetails, std::vector<char>& buffer, Listing& out);

}  // namespace tvx
