#include "LargePages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "text/Blocks.h"

namespace tvx {

void UsePosixLargePages() {
#ifdef MADV_HUGEPAGE
  // A big walk's list in large pages: a fault per 2 MiB, not per 4 KiB.
  // Where large pages are off, the advice is a no-op.
  UseLargePages([](void* at, std::size_t size) { madvise(at, size, MADV_HUGEPAGE); }, ReleasePages);
#endif
}

void ReleasePages(void* at, std::size_t size) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<std::uintptr_t>(at) + page - 1) / page * page;
  const auto to = (reinterpret_cast<std::uintptr_t>(at) + size) / page * page;
  if (from < to) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

}  // namespace tvx
