#include "ScanBatch.h"

#include <memory>

#include "Choice.h"
#include "Order.h"
#include "platform/HeldListing.h"
#include "text/Failure.h"

namespace tvx {

namespace {
// Whether a recursive walk enters an entry read at level (1 for the scanned
// directory's own): a directory, not a link, not excluded, above the last level.
bool Enters(const RawEntry& e, std::uint32_t level, const Choice& choice) {
  const std::string_view own = e.OwnName();
  return e.IsDir && !e.IsLink && choice.Enters(own, level);
}
}  // namespace

// What a listed item is made of, however its entry came: the attributes
// already as the record keeps them.
struct ScanBatch::Listed {
  std::string_view name, own;
  unsigned attributes;
  bool dir, inexact;
  std::uint64_t size;
  TDateTime time;
  std::int32_t utcOffset;
  NameFacts facts;
};

namespace {

using Info = TTarvixFileInfo;

// The record's attributes of entry e.
unsigned AttributesOf(const RawEntry& e) {
  return (e.Hidden ? Info::kHidden : 0) | (e.System ? Info::kSystem : 0) |
         (e.ReadOnly ? Info::kReadOnly : 0) | (e.Archive ? Info::kArchive : 0) |
         (e.IsLink ? Info::kLink : 0);
}

// The same of a held entry's kinds.
unsigned AttributesOf(unsigned kinds) {
  return ((kinds & HeldListing::kHidden) ? Info::kHidden : 0) |
         ((kinds & HeldListing::kSystem) ? Info::kSystem : 0) |
         ((kinds & HeldListing::kReadOnly) ? Info::kReadOnly : 0) |
         ((kinds & HeldListing::kArchive) ? Info::kArchive : 0) |
         ((kinds & HeldListing::kLink) ? Info::kLink : 0);
}

}  // namespace

// An entry of a walk that lists every entry it reads: only whether it is
// entered is asked. Made in place, field by field.
inline void ScanBatch::AddListed(const Listed& e) {
  if (e.name.size() > NameArena::kLongest) throw LimitFailure();
  Item& item = items.emplace_back();
  const bool link = (e.attributes & Info::kLink) != 0;
  std::construct_at(&item.entry, e.name.data(), e.dir || link ? 0 : e.size, e.time, e.dir,
                    e.inexact, e.attributes, e.utcOffset);
  item.nameLength = static_cast<std::uint32_t>(e.name.size());
  item.factBits = e.facts.Bits;
  item.enter = rules->recursive && e.dir && !link && rules->choice.Enters(e.own, level);
  item.listed = true;
  item.pending = item.peek = false;
}

void ScanBatch::Add(const RawEntry& e) {
  ++seen;
  if (listsAll)
    return AddListed({e.Name, e.OwnName(), AttributesOf(e), e.IsDir, e.Inexact, e.Size, e.DateTime,
                      e.UtcOffset, e.Facts});
  if (countOnly) return;
  if (forecast && !(rules->recursive && Enters(e, level, rules->choice))) return;
  if (!forecast && rules->storage && rules->consumer->Excludes(e.Storage))
    return TellLeftOut(e, EntryConsumer::LeftOutBy::OtherDevice);
  // Found as the directory is read, so that the failure names it.
  if (e.Name.size() > NameArena::kLongest) {
    if (forecast) return;
    throw LimitFailure();
  }
  const Choice& choice = rules->choice;
  const std::string_view own = e.OwnName();
  if (choice.HasPathPatterns()) {
    path.assign(relativeDir).append(own);
    if (choice.Excluded(own, path)) return TellLeftOut(e, EntryConsumer::LeftOutBy::Pattern);
  } else if (choice.Excluded(own, {})) {
    return TellLeftOut(e, EntryConsumer::LeftOutBy::Pattern);
  }
  const bool enter = rules->recursive && Enters(e, level, choice);
  const bool listed = choice.Lists(e);
  // Whether a directory is listed may depend on its being empty.
  const bool pending =
      e.IsDir && !e.IsLink && choice.AsksEmptiness() && choice.Lists(e, true) != listed;
  if (!listed && !enter && !pending) return;
  // Made where it stays, field by field: a whole item made aside and
  // copied in would be read back before its parts are stored.
  Item& item = items.emplace_back();
  std::construct_at(&item.entry, e.Name.data(), e.IsDir || e.IsLink ? 0 : e.Size, e.DateTime,
                    e.IsDir, e.Inexact, AttributesOf(e), e.UtcOffset);
  item.nameLength = static_cast<std::uint32_t>(e.Name.size());
  item.factBits = e.Facts.Bits;
  item.enter = enter;
  item.listed = listed;
  item.pending = pending;
  item.peek = pending && !enter;
  if (rules->storage) facts.push_back(e.Storage);
}

// The walk's common case in one loop: each entry straight from the listing
// into its item, with no call between.
void ScanBatch::AddHeld(const HeldListing& listing) {
  if (!listsAll) return EntrySink::AddHeld(listing);
  const std::size_t count = listing.Count();
  items.reserve(items.size() + count);
  for (std::size_t i = 0; i < count; ++i) {
    ++seen;
    const HeldListing::View e = listing.ViewOf(i);
    const bool dir = (e.kinds & HeldListing::kDir) != 0;
    AddListed({e.name, e.longName.empty() ? e.name : e.longName, AttributesOf(e.kinds), dir,
               (e.kinds & HeldListing::kInexact) != 0, e.size, e.time, e.utcOffset, e.facts});
  }
}

void ScanBatch::TellLeftOut(const RawEntry& e, EntryConsumer::LeftOutBy by) const {
  // Never from a reader's thread: the consumer is the walk's alone.
  if (rules->leftOut && !forecast)
    rules->consumer->LeftOut(e.OwnName(), e.IsDir && !e.IsLink, e.Storage, by);
}

void ScanBatch::Sort() {
  // Facts stand beside the items: a walk that wants them keeps the system's order.
  if (rules->order && !rules->storage)
    rules->order->Sort(
        items, [](const Item& i) -> auto& { return i.entry; });
}

std::vector<std::string> ScanBatch::Entered() const {
  std::vector<std::string> names;
  for (const Item& item : items) {
    if (item.enter) names.emplace_back(item.Name());
  }
  return names;
}

std::vector<std::string> ForecastEntered(const ScanRules& rules, DirListing& listing,
                                         std::size_t depth) {
  if (rules.choice.HasPathPatterns()) return {};
  ScanBatch batch(rules);
  batch.level = static_cast<std::uint32_t>(depth + 1);
  batch.forecast = true;
  listing.DeliverSubdirectories(batch);
  batch.Sort();
  return batch.Entered();
}

}  // namespace tvx
