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

void HeldListing::Fill(std::size_t index, RawEntry& entry) const {
  const View held = ViewOf(index);
  entry.Name = held.name;
  entry.LongName = held.longName;
  entry.IsDir = (held.kinds & kDir) != 0;
  entry.IsLink = (held.kinds & kLink) != 0;
  entry.Inexact = (held.kinds & kInexact) != 0;
  entry.Hidden = (held.kinds & kHidden) != 0;
  entry.System = (held.kinds & kSystem) != 0;
  entry.ReadOnly = (held.kinds & kReadOnly) != 0;
  entry.Archive = (held.kinds & kArchive) != 0;
  entry.Facts = held.facts;
  entry.Size = held.size;
  entry.DateTime = held.time;
  entry.UtcOffset = held.utcOffset;
  if (!storage_.empty()) entry.Storage = index < storage_.size() ? storage_[index] : StorageFacts{};
}

RawEntry HeldListing::At(std::size_t index) const {
  RawEntry entry;
  Fill(index, entry);
  return entry;
}

bool HeldListing::HasSubdirectories() const {
  return std::any_of(items_.begin(), items_.end(), IsSubdirectory);
}

void EntrySink::AddHeld(const HeldListing& listing) {
  RawEntry entry;
  for (std::size_t i = 0; i < listing.Count(); ++i) {
    listing.Fill(i, entry);
    Add(entry);
  }
}

void HeldListing::Deliver(EntrySink& sink) {
  if (failure != 0) throw ReadFailure(failure);
  sink.AddHeld(*this);
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
