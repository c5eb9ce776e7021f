// Names kept zero-terminated in large blocks: nothing is freed name by name,
// only all at once or back to a mark, as a walk leaves a directory.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace tvx {

class NameArena {
 public:
  // Where the arena stands; Rewind to it forgets the names stored since.
  struct Mark {
    std::size_t blocks, used, large;
  };

  // A copy of name, followed by a zero byte. Raises LimitFailure for a name
  // as long as a block: no system has one.
  const char* Store(std::string_view name);
  Mark Here() const { return {blocks_.size(), used_, large_.size()}; }
  void Rewind(const Mark& mark);
  void Clear();

 private:
  static constexpr std::size_t kBlock = 1 << 20;

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::vector<std::unique_ptr<char[]>> large_;
  std::unique_ptr<char[]> spare_;  // a block given back by Rewind, for the next one
  std::size_t used_ = kBlock;      // of the last block
};

}  // namespace tvx
