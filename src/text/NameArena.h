// Names kept zero-terminated in large blocks: nothing is freed name by name,
// only all at once or back to a mark, as a walk leaves a directory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "Blocks.h"

namespace tvx {

class NameArena {
 public:
  // Names go into blocks of up to blockSize bytes: large for a walk's
  // millions of names, small for one directory's listing, of which thousands
  // may be held. The first blocks are smaller, each twice the last, so that
  // a few names take little more room than they need.
  explicit NameArena(std::size_t blockSize = std::size_t{1} << 20) : block_(blockSize) {}

  // Where the arena stands; Rewind to it forgets the names stored since.
  struct Mark {
    std::size_t blocks, used, large;
  };

  // The longest name kept: no system has one so long.
  static constexpr std::size_t kLongest = (std::size_t{1} << 20) - 1;

  // A copy of name, followed by a zero byte. Raises LimitFailure for a name
  // longer than kLongest.
  // Inline: the walk stores every name it keeps.
  const char* Store(std::string_view name) {
    const std::size_t size = name.size() + 1;
    if (name.size() > kLongest || size > block_ / 4 || LastSize() - used_ < size)
      return StoreApart(name);
    char* at = blocks_.back().bytes.get() + used_;
    std::memcpy(at, name.data(), name.size());
    at[name.size()] = '\0';
    used_ += size;
    return at;
  }
  // Room for a name of at most `most` bytes and its zero byte, to be written
  // in place (while it is copied out of a directory read, say) and kept by
  // Keep with its length; the next Room or Store forgets it otherwise.
  // Inline: a directory read asks for room for every name it copies.
  char* Room(std::size_t most) {
    if (most > kLongest) TooLong();
    const std::size_t size = most + 1;
    roomLarge_ = size > block_ / 4;
    if (roomLarge_) return room_ = LargeRoom(size);
    if (LastSize() - used_ < size) AddBlock(size);
    return room_ = blocks_.back().bytes.get() + used_;
  }
  const char* Keep(std::size_t length) {
    room_[length] = '\0';
    if (!roomLarge_) used_ += length + 1;
    return room_;
  }
  // Names of about bytes in all (their zero bytes too) are to come: room for
  // them in one block now (up to the block size), not in ever larger ones.
  void Expect(std::size_t bytes) {
    if (LastSize() - used_ < bytes) AddBlock(std::min(bytes, block_));
  }
  Mark Here() const { return {blocks_.size(), used_, large_.size()}; }
  void Rewind(const Mark& mark);
  void Clear();
  // No more names are to come for a while: the unused end of a large last
  // block is given back (ReleaseUnused).
  void ReleaseUnusedEnd();
  // The bytes its shared blocks take (a long name's own are not counted).
  std::size_t Capacity() const;

  static constexpr std::size_t kFirstBlock = 64;

 private:
  struct Block {
    BlockBytes bytes;
    std::size_t size;
  };
  const char* StoreApart(std::string_view name);
  void AddBlock(std::size_t atLeast);
  char* LargeRoom(std::size_t size);
  [[noreturn]] static void TooLong();
  std::size_t LastSize() const { return blocks_.empty() ? 0 : blocks_.back().size; }

  std::size_t block_;
  std::vector<Block> blocks_;
  std::vector<std::unique_ptr<char[]>> large_;
  Block spare_{};         // a block given back by Rewind, for the next one
  std::size_t used_ = 0;  // of the last block
  char* room_ = nullptr;  // given by Room, in the last block or the last large one
  bool roomLarge_ = false;
};

}  // namespace tvx
