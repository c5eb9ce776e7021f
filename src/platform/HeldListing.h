// A directory's entries read whole and held, as the walk will be told them:
// what both systems' directory reads make.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "DirSource.h"
#include "text/Failure.h"
#include "text/NameArena.h"

namespace tvx {

// Held compactly: a listing read ahead waits in memory with hundreds of
// others, and every byte of it is written once on a reader's thread and read
// once on the walk's. A name and its kind take 16 bytes; sizes, times and
// storage facts are kept beside them only once some entry has any.
class HeldListing : public DirListing {
 public:
  // What kind of entry it is, and the attributes its read gave.
  enum Kind : std::uint16_t {
    kDir = 1,
    kLink = 2,
    kInexact = 4,
    kHidden = 8,
    kSystem = 16,
    kReadOnly = 32,
    kArchive = 64,
  };

  // Small blocks, and smaller still for a few names: a walk thousands of
  // levels deep holds a listing for each.
  NameArena names{std::size_t{1} << 12};
  // The failure's number when the directory could not be read (part of it
  // may have been); 0 when it was.
  int failure = 0;

  // Room for more entries at once; doubling at least, as a big directory
  // comes in many batches.
  void Reserve(std::size_t more) {
    const std::size_t needed = items_.size() + more;
    if (needed > items_.capacity()) items_.reserve(std::max(needed, 2 * items_.capacity()));
  }
  // An entry whose name is kept in names, as its read found it.
  void Add(std::string_view name, unsigned kinds, NameFacts facts) {
    items_.push_back({name.data(), static_cast<std::uint32_t>(name.size()),
                      static_cast<std::uint16_t>(kinds), facts.Bits});
  }
  // The size (0 for directories and links) and time of the entry added last.
  // Inline, and appended where every entry before it has them: a listing
  // read with details sets them for each entry in turn.
  void SetDetails(std::uint64_t size, TDateTime time, std::int32_t utcOffset) {
    if (details_.size() + 1 != items_.size()) return SetDetailsApart({size, time, utcOffset});
    // As much room as the entries have: grown with them, not entry by entry.
    if (details_.size() == details_.capacity()) details_.reserve(items_.capacity());
    details_.push_back({size, time, utcOffset});
  }
  void SetStorage(const StorageFacts& storage);
  // Any entry, its names kept in names.
  void Add(const RawEntry& entry);
  // The entry at index as it was added.
  RawEntry At(std::size_t index) const;
  // An entry as it is held: its kinds as Kind bits, nothing unpacked. Inline:
  // a walk reads every entry through it.
  struct View {
    std::string_view name, longName;
    unsigned kinds;
    NameFacts facts;
    std::uint64_t size;
    TDateTime time;
    std::int32_t utcOffset;
  };
  View ViewOf(std::size_t index) const {
    const Item& item = items_[index];
    const Details details = index < details_.size() ? details_[index] : Details{};
    const std::string_view longName =
        index < longNames_.size() ? longNames_[index] : std::string_view();
    return {
        {item.name, item.length}, longName, item.kinds, {item.facts}, details.size, details.time,
        details.utcOffset};
  }
  // The entry at index, every field of entry set anew, so that one entry
  // serves a loop over them all.
  void Fill(std::size_t index, RawEntry& entry) const;

  std::size_t Count() const override { return items_.size(); }
  bool HasSubdirectories() const override;
  void Deliver(EntrySink& sink) override;
  void DeliverSubdirectories(EntrySink& sink) override;

 private:
  struct Item {
    const char* name;
    std::uint32_t length;
    std::uint16_t kinds;
    std::uint8_t facts;
  };
  struct Details {
    std::uint64_t size = 0;
    TDateTime time = 0;
    std::int32_t utcOffset = kUnknownUtcOffset;
  };
  void SetDetailsApart(const Details& details);
  static bool IsSubdirectory(const Item& item) { return (item.kinds & (kDir | kLink)) == kDir; }

  std::vector<Item> items_;
  // Beside items_ up to their size; an entry past it has none.
  std::vector<Details> details_;
  std::vector<StorageFacts> storage_;
  std::vector<std::string_view> longNames_;
};

}  // namespace tvx
