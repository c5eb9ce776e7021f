// The full paths of a list's entries, in list order.
#pragma once

#include <string>
#include <vector>

#include "walk/EntryList.h"

namespace tvx::test {

inline std::vector<std::string> Names(const EntryList& list) {
  std::vector<std::string> names;
  FullPrefixCache prefixes(list);
  list.ForEach([&](const TTarvixFileInfo& e) {
    names.push_back(prefixes.For(e.DirIndex()) + std::string(e.Name()));
  });
  return names;
}

}  // namespace tvx::test
