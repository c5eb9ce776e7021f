#include "Records.h"

#include "lines/KeptInTurns.h"
#include "lines/Output.h"
#include "lines/RecordText.h"
#include "platform/SystemFacts.h"
#include "text/CommandLine.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace tvx {

namespace {

// Zone offsets change on quarter-hour boundaries only: one lookup for each
// quarter hour seen, kept in a small table.
constexpr TDateTime kOffsetWindow = 900;
constexpr std::size_t kOffsetSlots = 1024;

std::string_view TypeOf(const TTarvixFileInfo& entry) {
  if (entry.IsLink()) return "link";
  return entry.IsDir() ? "dir" : "file";
}

// The letters /A takes, in its order.
void AppendAttributes(std::string& out, const TTarvixFileInfo& entry) {
  using Info = TTarvixFileInfo;
  const unsigned bits = entry.Attributes();
  if (entry.IsDir()) out += 'D';
  if (bits & Info::kHidden) out += 'H';
  if (bits & Info::kSystem) out += 'S';
  if (bits & Info::kReadOnly) out += 'R';
  if (bits & Info::kArchive) out += 'A';
  if (bits & Info::kLink) out += 'L';
}

}  // namespace

RecordWriter::RecordWriter(const WriterInputs& in)
    : options_(in.Options),
      writesDirectories_(in.WritesDirectories),
      style_(in.Style),
      format_(MakeRecordFormat(in.Options.Records, in.Style)),
      threads_(in.Threads),
      out_(in.Out),
      utcOffset_(in.UtcOffset),
      offsets_(kOffsetSlots) {}

// The records of a run of a kept list: the header is the writer's own.
RecordWriter::RecordWriter(const RecordWriter& from, LineWriter& out)
    : options_(from.options_),
      writesDirectories_(from.writesDirectories_),
      style_(from.style_),
      format_(MakeRecordFormat(options_.Records, style_)),
      threads_(nullptr),
      out_(out),
      utcOffset_(from.utcOffset_),
      begun_(true),
      offsets_(kOffsetSlots) {}

std::unique_ptr<CommandWriter> RecordWriter::Fork(LineWriter& out) const {
  return std::unique_ptr<CommandWriter>(new RecordWriter(*this, out));
}

void RecordWriter::TakeKept(const EntryList& list) {
  if (options_.Command == CommandKind::Stat) return CommandWriter::TakeKept(list);
  // Before the first record, as Take would; the fork writes none.
  if (!begun_ && list.Count() != 0) Begin();
  WriteKeptInTurns(list, *this, out_, threads_);
  // The fork counted its runs' entries: all are counted here instead.
  files_ = dirs_ = 0;
  list.ForEach([this](const TTarvixFileInfo& entry) {
    ++(entry.IsDir() && !entry.IsLink() ? dirs_ : files_);
  });
}

// Nothing is written before the first record or the end of the scan, so
// that a failure that stops the run leaves no header behind.
void RecordWriter::Begin() {
  begun_ = true;
  format_->Begin(out_, options_.Command);
}

void RecordWriter::Take(const EntryList& list, const TTarvixFileInfo& entry) {
  ++(entry.IsDir() && !entry.IsLink() ? dirs_ : files_);
  if (options_.Command == CommandKind::Stat) return;
  if (!writesDirectories_ && entry.IsDir()) return;
  if (!begun_) Begin();
  if (!prefixes_) prefixes_ = std::make_unique<FullPrefixCache>(list);
  if (entry.DirIndex() != dirIndex_) EnterDirectory(list, entry.DirIndex());
  record_.clear();
  format_->AppendEntry(record_, FieldsOf(entry));
  out_.WriteLine(record_);
}

void RecordWriter::EnterDirectory(const EntryList& list, std::uint32_t dirIndex) {
  dirIndex_ = dirIndex;
  const std::size_t rootLength = list.Root().size();
  const std::string& prefix = prefixes_->For(dirIndex);
  const std::string_view below = std::string_view(prefix).substr(rootLength);
  depth_ = 1;
  // Separators are whole characters: a double-byte one's trail 0x5C is none.
  for (std::size_t i = 0; i < below.size();) {
    const std::size_t length = list.Code().CharLength(below, i);
    depth_ += length == 1 && below[i] == Separator(list.Style()) ? 1 : 0;
    i += length;
  }
  format_->EnterDirectory(prefix, rootLength);
}

// The offset the reader converted the time at gives the instant back; the
// zone's rules are asked only where no reader told it.
RecordEntry RecordWriter::FieldsOf(const TTarvixFileInfo& entry) {
  const TDateTime time = entry.ExactDateTime();
  const std::int32_t told = entry.UtcOffset();
  // Files made together share a time: the same time told the same way keeps
  // the stamp it had.
  if (time != stampedTime_ || told != stampedOffset_) {
    mtime_.clear();
    AppendUtcStamp(mtime_, time - (told != kUnknownUtcOffset ? told : OffsetAt(time)));
    stampedTime_ = time;
    stampedOffset_ = told;
  }
  attr_.clear();
  AppendAttributes(attr_, entry);
  const std::string_view name = entry.Name();
  return {.Name = name,
          .Ext = ExtensionOf(name),
          .Type = TypeOf(entry),
          .Size = entry.Size(),
          .Mtime = mtime_,
          .Attr = attr_,
          .Depth = depth_,
          .Plain = entry.IsQuietName() && entry.IsAsciiName() && !entry.HasControlBytes()};
}

int RecordWriter::OffsetAt(TDateTime local) {
  const TDateTime window = local / kOffsetWindow - (local % kOffsetWindow < 0 ? 1 : 0);
  Offset& slot = offsets_[static_cast<std::size_t>(window) & (kOffsetSlots - 1)];
  if (slot.window != window) {
    slot.window = window;
    slot.seconds = utcOffset_(local);
  }
  return slot.seconds;
}

void RecordWriter::Finish(const EntryList& list, const RunSummary& summary) {
  if (!begun_) Begin();
  record_.clear();
  RecordTotals totals{.Root = summary.Root,
                      .Count = list.Count(),
                      .Files = files_,
                      .Dirs = dirs_,
                      .Bytes = summary.TotalBytes};
  if (options_.Command == CommandKind::Stat) {
    format_->AppendStat(record_, totals);
    out_.WriteLine(record_);
  } else if (options_.Command == CommandKind::Dir) {
    totals.DriveBytes = summary.Space ? summary.Space->Total : 0;
    totals.DriveFree = summary.Space ? summary.Space->FreeForCaller : 0;
    if (format_->AppendDirTotal(record_, totals)) out_.WriteLine(record_);
  }
}

}  // namespace tvx
