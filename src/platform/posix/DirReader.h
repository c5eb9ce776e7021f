// Reading one open directory whole, straight from the kernel.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace tvx {

// One directory as the kernel reports it: names and what was asked of each.
struct Listing {
  struct Item {
    std::size_t nameAt;
    unsigned char type;  // DT_DIR, DT_LNK, DT_REG, ... as the directory read gives it
    bool haveStat;
    off_t size;
    time_t mtime;
    mode_t mode;  // with haveStat
  };
  bool readable = false;
  int error = 0;      // errno when the directory could not be opened for reading
  std::string names;  // each name followed by a zero byte
  std::vector<Item> items;

  const char* Name(const Item& item) const { return names.data() + item.nameAt; }
  void Clear() {
    readable = false;
    error = 0;
    names.clear();
    items.clear();
  }
};

// Reads the open directory fd whole into out, in large batches, with a stat
// call only for what must be asked: the type when the directory read did not
// give it, sizes and times when withDetails. buffer is scratch space.
void ReadListing(int fd, bool withDetails, std::vector<char>& buffer, Listing& out);

}  // namespace tvx
