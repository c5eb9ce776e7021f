#include "Blocks.h"

#include <new>

namespace tvx {

namespace {

PageAdvice advice = nullptr;
PageAdvice release = nullptr;

}  // namespace

void BlockFree::operator()(char* at) const {
  if (large) {
    ::operator delete[](at, std::align_val_t{kLargePage});
  } else {
    delete[] at;
  }
}

BlockBytes NewBlock(std::size_t size) {
  return BlockBytes(new char[size]);
}

BlockBytes NewLargeBlock() {
  // Unaligned, no large page could back it: a plain block then, with no
  // address space spent on alignment (a 32-bit process has little).
  if (!advice) return NewBlock(kLargePage);
  BlockBytes block(static_cast<char*>(::operator new[](kLargePage, std::align_val_t{kLargePage})),
                   BlockFree{true});
  advice(block.get(), kLargePage);
  return block;
}

bool LargePagesAdvised() {
  return advice != nullptr;
}

void ReleaseUnused(char* from, char* to) {
  if (release && from < to) release(from, static_cast<std::size_t>(to - from));
}

void UseLargePages(PageAdvice advise, PageAdvice giveBack) {
  advice = advise;
  release = advise ? giveBack : nullptr;
}

}  // namespace tvx
