// What the system tells of where an entry is stored and how much room it
// takes: asked only by a walk that totals space, as it costs a stat per
// entry where the listing alone would do.
#pragma once

#include <cstdint>

namespace tvx {

struct StorageFacts {
  std::uint64_t Apparent = 0;   // bytes as the system reports the size, a directory's own too
  std::uint64_t Allocated = 0;  // bytes of storage allocated (blocks)
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::uint32_t Links = 0;  // hard links to it
  bool Known = false;       // false: the system told none of this
  bool Special = false;     // neither a regular file nor a directory (a pipe, a device, a link)
};

}  // namespace tvx
