#include "HeldListing.h"

namespace tvx {

namespace {

// The last of beside, made as long as items first: entries before it hold none.
template <typename Fact>
Fact& Last(std::vector<Fact>& beside, std::size_t items) {
  beside.resize(items);
  return beside.back();
}

}  // namespace

// The details of the entry added last, where some before it have none.
void HeldListing::SetDetailsApart(const Details& details) {
  Last(details_, items_.size()) = details;
}

void HeldListing::SetStorage(const StorageFacts& storage) {
  Last(storage_, items_.size()) = storage;
}

void HeldListing::Add(const RawEntry& entry) {
  const unsigned kinds = (entry.IsDir ? kDir : 0) | (entry.IsLink ? kLink : 0) |
                         (entry.Inexact ? kInexact : 0) | (entry.Hidden ? kHidden : 0) |
                         (entry.System ? kSystem : 0) | (entry.ReadOnly ? kReadOnly : 0) |
                         (entry.Archive ? kArchive : 0);
  Add(entry.Name, kinds, entry.Facts);
  if (entry.Size != 0 || entry.DateTime != 0 || entry.UtcOffset != kUnknownUtcOffset)
    SetDetails(entry.Size, entry.DateTime, entry.UtcOffset);
  if (entry.Storage.Known) SetStorage(entry.Storage);
  if (!entry.LongName.empty()) Last(longNames_, items_.size()) = entry.LongName;
}

// Every field of entry set anew: entry is reused from one to the next.
void HeldListing::Fill(std::size_t index, RawEntry& entry) const {
  const Item& item = items_[index];
  entry.Name = {item.name, item.length};
  entry.IsDir = (item.kinds & kDir) != 0;
  entry.IsLink = (item.kinds & kLink) != 0;
  entry.Inexact = (item.kinds & kInexact) != 0;
  entry.Hidden = (item.kinds & kHidden) != 0;
  entry.System = (item.kinds & kSystem) != 0;
  entry.ReadOnly = (item.kinds & kReadOnly) != 0;
  entry.Archive = (item.kinds & kArchive) != 0;
  entry.Facts.Bits = item.facts;
  const Details details = index < details_.size() ? details_[index] : Details{};
  entry.Size = details.size;
  entry.DateTime = details.time;
  entry.UtcOffset = details.utcOffset;
  if (!storage_.empty()) entry.Storage = index < storage_.size() ? storage_[index] : StorageFacts{};
  if (!longNames_.empty())
    entry.LongName = index < longNames_.size() ? longNames_[index] : std::string_view();
}

RawEntry HeldListing::At(std::size_t index) const {
  RawEntry entry;
  Fill(index, entry);
  return entry;
}

bool HeldListing::HasSubdirectories() const {
  return std::any_of(items_.begin(), items_.end(), IsSubdirectory);
}

void HeldListing::Deliver(EntrySink& sink) {
  if (failure != 0) throw ReadFailure(failure);
  RawEntry entry;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    Fill(i, entry);
    sink.Add(entry);
  }
}

void HeldListing::DeliverSubdirectories(EntrySink& sink) {
  if (failure != 0) throw ReadFailure(failure);
  RawEntry entry;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!IsSubdirectory(items_[i])) continue;
    Fill(i, entry);
    sink.Add(entry);
  }
}

}  // namespace tvx
