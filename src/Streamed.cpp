#include "Streamed.h"

#include "Macros.h"
#include "Output.h"

namespace tvx {

void OutputPace::BeforeRead() {
  // The first lines go at once; later ones wait for the interval.
  const std::uint64_t now = clock_();
  if (passed_ && now - last_ < kInterval) return;
  if (!out_.PassPending()) return;
  passed_ = true;
  last_ = now;
}

StreamedList::StreamedList(const ListOptions& options, const LocaleSettings& locale,
                           LineWriter& out, OutputPace::Clock clock,
                           std::function<void(const Failure&)> leftOut)
    : options_(options),
      locale_(locale),
      out_(out),
      pace_(out, std::move(clock)),
      check_(options, std::move(leftOut)) {}

StreamedList::~StreamedList() = default;

void StreamedList::Take(const EntryList& list, const TTarvixFileInfo& entry) {
  if (!lines_) {
    lines_ = ListLines::Make(options_, list.Style(), locale_);
    prefixes_ = std::make_unique<FullPrefixCache>(list);
  }
  // Checked before /D leaves a directory out: its contents' lines hold its name.
  if (!check_.Writable(list, entry, *prefixes_)) return;
  if (options_.NoDir && entry.IsDir()) return;
  lines_->Write(entry.DirIndex(), prefixes_->For(entry.DirIndex()), list.Root().size(), entry,
                out_);
}

}  // namespace tvx
