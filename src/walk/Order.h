// The order /O asks for within each directory: keys in turn, as dir's
// letters combine, with the name as the last tie-breaker.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "EntryList.h"
#include "text/CaseFold.h"
#include "text/Locale.h"
#include "text/Paths.h"

namespace tvx {

enum class SortBy { Name, Extension, Size, Date, DirectoriesFirst };
struct SortKey {
  SortBy By = SortBy::Name;
  bool Reversed = false;
};

// The keys of an /O value: the letters N E S D G, each after an optional
// "-". Raises InvalidValueFailure(typed) for an empty value or another letter.
std::vector<SortKey> ParseOrder(std::string_view value, const std::string& typed);

// Whether the keys compare sizes or times, which a scan then has to read.
bool OrderNeedsDetails(const std::vector<SortKey>& keys);

class EntryOrder {
 public:
  // Names compare ordinally: on Windows with the ASCII letters mapped as /U
  // maps them (letter case is no difference there), on POSIX by bytes, or
  // with nameCase Unicode by their folded characters.
  EntryOrder(std::vector<SortKey> keys, PathStyle style, const CodePage& code,
             LetterCase nameCase = LetterCase::Exact);

  // Times compare to the second.
  bool Before(const TTarvixFileInfo& a, const TTarvixFileInfo& b) const;
  // By the keys alone, without the name that settles the rest: below 0 when
  // a comes first, 0 when they tie.
  int CompareKeys(const TTarvixFileInfo& a, const TTarvixFileInfo& b) const;

  // Sorts items; entry(item) gives an item's record. The order is total, as
  // the names of one directory differ in their bytes.
  template <typename Item, typename Entry>
  void Sort(std::vector<Item>& items, Entry entry) const {
    if (bytesOnly_) {
      // The common /O:N or /O:-N on POSIX: the names' bytes alone, which
      // hold no zero byte.
      const bool reversed = keys_.front().Reversed;
      std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        const int order = std::strcmp(entry(a).NameText(), entry(b).NameText());
        return reversed ? order > 0 : order < 0;
      });
      return;
    }
    std::sort(items.begin(), items.end(),
              [&](const Item& a, const Item& b) { return Before(entry(a), entry(b)); });
  }

 private:
  int CompareNames(std::string_view a, std::string_view b) const;
  int Compare(const SortKey& key, const TTarvixFileInfo& a, const TTarvixFileInfo& b) const;

  std::vector<SortKey> keys_;
  bool foldCase_;
  bool foldUnicode_;
  bool bytesOnly_;  // the name alone decides, by its bytes
  CodePage code_;
};

}  // namespace tvx
