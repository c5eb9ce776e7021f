// Memory for the arenas' blocks. A big arena's blocks are a large page wide:
// where the platform backs such a block with one large page, a single page
// fault maps what would take 512 small ones, and a walk of millions keeps its
// list with a few dozen faults instead of tens of thousands.
#pragma once

#include <cstddef>
#include <memory>

namespace tvx {

// The large page the blocks are made for: 2 MiB on the systems that have one.
inline constexpr std::size_t kLargePage = std::size_t{2} << 20;

// An arena turns to large blocks only once it holds this much: the last
// block's unused part, all of it resident once its page is mapped, then
// stays a small share of the arena's memory.
inline constexpr std::size_t kLargeBlocksFrom = std::size_t{4} << 20;

// Frees a block the way it was made.
struct BlockFree {
  bool large = false;
  void operator()(char* at) const;
};
using BlockBytes = std::unique_ptr<char[], BlockFree>;

// size bytes, uninitialized.
BlockBytes NewBlock(std::size_t size);

// kLargePage bytes, uninitialized: aligned to a large page and advised to
// take one where the platform said how, a plain block elsewhere.
BlockBytes NewLargeBlock();

// Whether the platform said how to use large pages.
bool LargePagesAdvised();

// Gives back the memory of the whole pages within [from, to) of a large
// block, none of it used yet: the unused end of a list's last block once
// its walk is over, which a large page would otherwise keep resident. The
// bytes read as zeros when next touched.
void ReleaseUnused(char* from, char* to);

// How the platform has the system back [at, at + size) with large pages
// (advise), and give back the memory of the whole pages in it (release).
// Set once at start, before any thread and any block; null turns them off.
using PageAdvice = void (*)(void* at, std::size_t size);
void UseLargePages(PageAdvice advise, PageAdvice release);

}  // namespace tvx
