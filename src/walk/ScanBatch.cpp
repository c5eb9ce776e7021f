#include "ScanBatch.h"

#include <memory>

#include "Choice.h"
#include "Order.h"
#include "platform/HeldListing.h"
#include "text/Failure.h"

namespace tvx {

namespace {

using Info = TTarvixFileInfo;

// What an item is made of, however its entry came: the attributes already
// as the record keeps them.
struct Listed {
  std::string_view name, own;  // own: the name patterns match
  unsigned attributes;
  bool dir, inexact;
  std::uint64_t size;
  TDateTime time;
  std::int32_t utcOffset;
  NameFacts facts;
  bool Link() const { return (attributes & Info::kLink) != 0; }
};

Listed ListedOf(const RawEntry& e) {
  const unsigned attributes = (e.Hidden ? Info::kHidden : 0) | (e.System ? Info::kSystem : 0) |
                              (e.ReadOnly ? Info::kReadOnly : 0) |
                              (e.Archive ? Info::kArchive : 0) | (e.IsLink ? Info::kLink : 0);
  return {e.Name, e.OwnName(), attributes,  e.IsDir, e.Inexact,
          e.Size, e.DateTime,  e.UtcOffset, e.Facts};
}

// The same of an entry as a listing holds it: its kinds packed straight
// into the record's attributes.
Listed ListedOf(const HeldListing::View& e) {
  const unsigned kinds = e.kinds;
  const unsigned attributes = ((kinds & HeldListing::kHidden) ? Info::kHidden : 0) |
                              ((kinds & HeldListing::kSystem) ? Info::kSystem : 0) |
                              ((kinds & HeldListing::kReadOnly) ? Info::kReadOnly : 0) |
                              ((kinds & HeldListing::kArchive) ? Info::kArchive : 0) |
                              ((kinds & HeldListing::kLink) ? Info::kLink : 0);
  return {e.name,
          e.longName.empty() ? e.name : e.longName,
          attributes,
          (kinds & HeldListing::kDir) != 0,
          (kinds & HeldListing::kInexact) != 0,
          e.size,
          e.time,
          e.utcOffset,
          e.facts};
}

// Whether a recursive walk enters an entry read at level (1 for the scanned
// directory's own): a directory, not a link, not excluded, above the last level.
bool Enters(const Listed& e, std::uint32_t level, const ScanRules& rules) {
  return rules.recursive && e.dir && !e.Link() && rules.choice.Enters(e.own, level);
}

// A new item of e, its record made in place: a whole item made aside and
// copied in would be read back before its parts are stored. Its flags are
// the caller's to set. Inline: every entry kept is made here.
inline ScanBatch::Item& NewItem(ScanBatch& batch, const Listed& e) {
  ScanBatch::Item& item = batch.items.emplace_back();
  std::construct_at(&item.entry, e.name.data(), e.dir || e.Link() ? 0 : e.size, e.time, e.dir,
                    e.inexact, e.attributes, e.utcOffset);
  item.nameLength = static_cast<std::uint32_t>(e.name.size());
  item.factBits = e.facts.Bits;
  return item;
}

// An entry of a walk that lists every entry it reads: only whether it is
// entered is asked.
inline void AddListed(ScanBatch& batch, const Listed& e) {
  if (e.name.size() > NameArena::kLongest) throw LimitFailure();
  ScanBatch::Item& item = NewItem(batch, e);
  item.enter = Enters(e, batch.level, *batch.rules);
  item.listed = true;
  item.pending = item.peek = false;
}

}  // namespace

void ScanBatch::Add(const RawEntry& raw) {
  ++seen;
  const Listed e = ListedOf(raw);
  if (listsAll) return AddListed(*this, e);
  if (countOnly) return;
  if (forecast && !Enters(e, level, *rules)) return;
  if (!forecast && rules->storage && rules->consumer->Excludes(raw.Storage))
    return TellLeftOut(raw, EntryConsumer::LeftOutBy::OtherDevice);
  // Found as the directory is read, so that the failure names it.
  if (e.name.size() > NameArena::kLongest) {
    if (forecast) return;
    throw LimitFailure();
  }
  const Choice& choice = rules->choice;
  if (choice.HasPathPatterns()) {
    path.assign(relativeDir).append(e.own);
    if (choice.Excluded(e.own, path)) return TellLeftOut(raw, EntryConsumer::LeftOutBy::Pattern);
  } else if (choice.Excluded(e.own, {})) {
    return TellLeftOut(raw, EntryConsumer::LeftOutBy::Pattern);
  }
  const bool enter = Enters(e, level, *rules);
  const bool listed = choice.Lists(raw);
  // Whether a directory is listed may depend on its being empty.
  const bool pending =
      e.dir && !e.Link() && choice.AsksEmptiness() && choice.Lists(raw, true) != listed;
  if (!listed && !enter && !pending) return;
  Item& item = NewItem(*this, e);
  item.enter = enter;
  item.listed = listed;
  item.pending = pending;
  item.peek = pending && !enter;
  if (rules->storage) facts.push_back(raw.Storage);
}

// The walk's common case in one loop: each entry straight from the listing
// into its item, with no call between.
void ScanBatch::AddHeld(const HeldListing& listing) {
  if (!listsAll) return EntrySink::AddHeld(listing);
  const std::size_t count = listing.Count();
  items.reserve(items.size() + count);
  for (std::size_t i = 0; i < count; ++i) {
    ++seen;
    AddListed(*this, ListedOf(listing.ViewOf(i)));
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
