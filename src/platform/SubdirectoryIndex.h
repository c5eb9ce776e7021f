// Where a subdirectory stands among those its parent's read reported, for the
// read-ahead of both platforms. The walk enters them in the order read, so
// the next one is tried first; with /O it enters them in an order of its own,
// and a table made on the first miss finds each at once.
#pragma once

#include <cstddef>
#include <string_view>
#include <unordered_map>

namespace tvx {

class SubdirectoryIndex {
 public:
  // The index of name among count names, nameAt(i) giving the i-th (which
  // must stay in place while this index lives); count when it is none.
  template <typename NameAt>
  std::size_t Find(std::string_view name, std::size_t next, std::size_t count, NameAt nameAt) {
    if (next < count && nameAt(next) == name) return next;
    if (table_.empty()) {
      table_.reserve(count);
      for (std::size_t i = 0; i < count; ++i) table_.emplace(nameAt(i), i);
    }
    const auto found = table_.find(name);
    return found == table_.end() ? count : found->second;
  }

 private:
  std::unordered_map<std::string_view, std::size_t> table_;
};

}  // namespace tvx
