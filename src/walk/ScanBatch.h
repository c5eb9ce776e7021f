// One directory's entries as the walk reads them: what it keeps of each and
// what it will do with it, decided by the filters as the directory is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "EntryList.h"
#include "platform/DirSource.h"
#include "text/NameArena.h"

namespace tvx {

class Choice;
class EntryOrder;

// What the walk asks of the entries beyond the walk itself.
struct ScanRules {
  bool recursive;
  const Choice& choice;
  const EntryOrder* order;
  EntryConsumer* consumer;  // the streamed list's, told of directories entered and left
  bool storage;             // the consumer wants each entry's storage facts
  bool leftOut;             // the consumer wants to hear of the entries excluded
};

// One directory's entries, read whole before any of its subdirectories is
// entered, so the walk needs no more than the entries of the directories on
// the current path. Names stay in the directory's listing, which the engine
// holds until the walk leaves it. Only what is listed, or entered, is kept:
// the filters decide as it is read.
struct ScanBatch : EntrySink {
  // An entry read, and what the walk will do with it.
  struct Item {
    TTarvixFileInfo entry;
    // Packed so that an item stays at 32 bytes: no name kept is near 2^24 bytes.
    static_assert(NameArena::kLongest < (1u << 24));
    std::uint32_t nameLength : 24;
    std::uint32_t factBits : 8;  // NameFacts, as the read learned them
    bool enter;
    bool listed;   // when not empty, for a directory whose emptiness decides
    bool pending;  // a directory listed or not by its emptiness: read first
    bool peek;     // pending and not entered: read only to know whether empty
    std::string_view Name() const { return {entry.NameText(), nameLength}; }
  };
  explicit ScanBatch(const ScanRules& rules) : rules(&rules) {}

  const ScanRules* rules;
  std::uint32_t level = 1;  // of the entries read: 1 for the scanned directory's own
  std::string relativeDir;  // the directory's path below the scanned one, with /X paths only
  std::string path;         // scratch: an entry's path below the scanned directory
  std::vector<Item> items;
  std::vector<StorageFacts> facts;  // beside items, where storage is wanted
  std::size_t seen = 0;             // entries read, chosen or not; 1 at least if unreadable
  bool countOnly = false;           // the directory is read only to know whether it is empty
  // Every entry is listed and none asks for storage facts: the walk's
  // common case, which asks the choice nothing per entry but Enters.
  bool listsAll = false;
  // Read ahead on a reader's thread, for what the walk will enter only: the
  // consumer, the walk's alone, is not asked, and the walk refuses long names.
  bool forecast = false;

  void Add(const RawEntry& e) override;
  void AddHeld(const HeldListing& listing) override;
  // The storage facts of item, where they are wanted.
  const StorageFacts* FactsOf(const Item& item) const {
    return facts.empty() ? nullptr : &facts[static_cast<std::size_t>(&item - items.data())];
  }
  void Sort();
  // The names of the subdirectories the walk enters, in its order.
  std::vector<std::string> Entered() const;
  void Clear() {
    items.clear();
    facts.clear();
  }

 private:
  void TellLeftOut(const RawEntry& e, EntryConsumer::LeftOutBy by) const;
};

// What the walk will enter of a listing read at depth (0 for the scanned
// directory), in its order: told to the engine ahead of the walk, so that its
// readers read on below what the walk has handed over. The batch the walk
// will read decides, as it will. None where an exclusion names a path, which
// a listing alone cannot tell.
std::vector<std::string> ForecastEntered(const ScanRules& rules, DirListing& listing,
                                         std::size_t depth);

}  // namespace tvx
