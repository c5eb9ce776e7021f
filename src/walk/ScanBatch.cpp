#include "ScanBatch.h"

#include <memory>

#include "Choice.h"
#include "Order.h"
#include "text/Failure.h"

namespace tvx {

namespace {
// Whether a recursive walk enters an entry read at level (1 for the scanned
// directory's own): a directory, not a link, not excluded, above the last level.
bool Enters(const RawEntry& e, std::uint32_t level, const Choice& choice) {
  const std::string_view own = e.OwnName();
  return e.IsDir && !e.IsLink && choice.Enters(own, level);
}

// Made in place: the record of entry e.
inline void Record(const RawEntry& e, TTarvixFileInfo& into) {
  using Info = TTarvixFileInfo;
  const unsigned attributes = (e.Hidden ? Info::kHidden : 0) | (e.System ? Info::kSystem : 0) |
                              (e.ReadOnly ? Info::kReadOnly : 0) |
                              (e.Archive ? Info::kArchive : 0) | (e.IsLink ? Info::kLink : 0);
  const std::uint64_t size = e.IsDir || e.IsLink ? 0 : e.Size;
  std::construct_at(&into, e.Name.data(), size, e.DateTime, e.IsDir, e.Inexact, attributes,
                    e.UtcOffset);
}
}  // namespace

// An entry of a walk that lists every entry it reads: only whether it is
// entered is asked.
inline void ScanBatch::AddListed(const RawEntry& e) {
  if (e.Name.size() > NameArena::kLongest) throw LimitFailure();
  Item& item = items.emplace_back();
  Record(e, item.entry);
  item.nameLength = static_cast<std::uint32_t>(e.Name.size());
  item.factBits = e.Facts.Bits;
  item.enter = rules->recursive && Enters(e, level, rules->choice);
  item.listed = true;
  item.pending = item.peek = false;
}

void ScanBatch::Add(const RawEntry& e) {
  ++seen;
  if (listsAll) return AddListed(e);
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
  Record(e, item.entry);
  item.nameLength = static_cast<std::uint32_t>(e.Name.size());
  item.factBits = e.Facts.Bits;
  item.enter = enter;
  item.listed = listed;
  item.pending = pending;
  item.peek = pending && !enter;
  if (rules->storage) facts.push_back(e.Storage);
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
