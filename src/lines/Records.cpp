#include "Records.h"

#include "Output.h"
#include "RecordText.h"
#include "platform/SystemFacts.h"
#include "text/CommandLine.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace tvx {

namespace {

constexpr std::string_view kCsvHeader = "path,rel,name,ext,type,size,mtime,attr,depth,raw";
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

void AppendNumber(std::string& out, std::uint64_t value) {
  char digits[20];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out += digits[--n];
}

}  // namespace

RecordWriter::RecordWriter(const WriterInputs& in)
    : options_(in.Options),
      writesDirectories_(in.WritesDirectories),
      json_(in.Options.Records == RecordForm::Json),
      byteOrderMark_(in.Style == PathStyle::Windows && !json_),
      out_(in.Out),
      utcOffset_(in.UtcOffset),
      offsets_(kOffsetSlots) {}

// Nothing is written before the first record or the end of the scan, so
// that a failure that stops the run leaves no header behind.
void RecordWriter::Begin() {
  begun_ = true;
  if (byteOrderMark_) out_.Append("\xEF\xBB\xBF");
  if (json_) return;
  out_.Append(options_.Command == CommandKind::Stat ? "root,count,files,dirs,bytes,raw"
                                                    : kCsvHeader);
  out_.EndLine();
}

void RecordWriter::Take(const EntryList& list, const TTarvixFileInfo& entry) {
  ++(entry.IsDir() && !entry.IsLink() ? dirs_ : files_);
  if (options_.Command == CommandKind::Stat) return;
  if (!writesDirectories_ && entry.IsDir()) return;
  if (!begun_) Begin();
  if (!prefixes_) prefixes_ = std::make_unique<FullPrefixCache>(list);
  if (entry.DirIndex() != dirIndex_) EnterDirectory(list, entry.DirIndex());
  record_.clear();
  if (json_) {
    JsonRecord(entry);
  } else {
    CsvRecord(entry);
  }
  out_.WriteLine(record_);
}

void RecordWriter::EnterDirectory(const EntryList& list, std::uint32_t dirIndex) {
  dirIndex_ = dirIndex;
  rootLength_ = list.Root().size();
  prefix_ = prefixes_->For(dirIndex);
  const std::string_view below = std::string_view(prefix_).substr(rootLength_);
  depth_ = 1;
  // Separators are whole characters: a double-byte one's trail 0x5C is none.
  for (std::size_t i = 0; i < below.size();) {
    const std::size_t length = list.Code().CharLength(below, i);
    depth_ += length == 1 && below[i] == Separator(list.Style()) ? 1 : 0;
    i += length;
  }
  jsonPrefix_.clear();
  jsonRel_.clear();
  prefixExact_ = AppendJsonText(jsonPrefix_, prefix_);
  AppendJsonText(jsonRel_, below);
  csvPrefixPlain_ = IsPlainCsv(prefix_);
  csvRelPlain_ = IsPlainCsv(below);
}

void RecordWriter::JsonRecord(const TTarvixFileInfo& entry) {
  const std::string_view name = entry.Name();
  jsonName_.clear();
  const bool exact = AppendJsonText(jsonName_, name) && prefixExact_;
  record_.append("{\"path\":\"").append(jsonPrefix_).append(jsonName_);
  record_.append("\",\"rel\":\"").append(jsonRel_).append(jsonName_);
  record_.append("\",\"name\":\"").append(jsonName_);
  record_.append("\",\"ext\":\"");
  AppendJsonText(record_, ExtensionOf(name));
  record_.append("\",\"type\":\"").append(TypeOf(entry)).append("\",\"size\":");
  AppendNumber(record_, entry.Size());
  record_.append(",\"mtime\":\"");
  AppendCommonTail(entry);
  if (!exact) AppendJsonRaw(prefix_ + std::string(name));
  record_ += '}';
}

void RecordWriter::CsvRecord(const TTarvixFileInfo& entry) {
  const std::string_view name = entry.Name();
  const bool exact = AppendCsvPath(record_, prefix_, csvPrefixPlain_, name, scratch_);
  record_ += ',';
  AppendCsvPath(record_, std::string_view(prefix_).substr(rootLength_), csvRelPlain_, name,
                scratch_);
  record_ += ',';
  AppendCsvField(record_, name);
  record_ += ',';
  AppendCsvField(record_, ExtensionOf(name));
  record_.append(",").append(TypeOf(entry)).append(",");
  AppendNumber(record_, entry.Size());
  record_ += ',';
  AppendCommonTail(entry);
  record_ += ',';
  if (!exact) AppendBase64(record_, prefix_ + std::string(name));
}

// mtime to depth, each field closed as the form closes it. The offset the
// reader converted the time at gives the instant back; the zone's rules are
// asked only where no reader told it.
void RecordWriter::AppendCommonTail(const TTarvixFileInfo& entry) {
  const TDateTime time = entry.ExactDateTime();
  const std::int32_t told = entry.UtcOffset();
  AppendUtcStamp(record_, time - (told != kUnknownUtcOffset ? told : OffsetAt(time)));
  record_.append(json_ ? "\",\"attr\":\"" : ",");
  AppendAttributes(record_, entry);
  record_.append(json_ ? "\",\"depth\":" : ",");
  AppendNumber(record_, depth_);
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

void RecordWriter::Finish(const EntryList& list, const Closing& closing) {
  if (!begun_) Begin();
  record_.clear();
  if (options_.Command == CommandKind::Stat) {
    StatRecord(closing.Root, list.Count(), closing.TotalBytes);
  } else if (options_.Command == CommandKind::Dir && json_) {
    record_.append("{\"total\":{\"root\":\"");
    const bool exact = AppendJsonText(record_, closing.Root);
    record_.append("\",\"entries\":");
    AppendNumber(record_, list.Count());
    AppendCounts(closing.TotalBytes);
    record_.append(",\"drive_bytes\":");
    AppendNumber(record_, closing.Space ? closing.Space->Total : 0);
    record_.append(",\"drive_free\":");
    AppendNumber(record_, closing.Space ? closing.Space->FreeForCaller : 0);
    if (!exact) AppendJsonRaw(closing.Root);
    record_.append("}}");
    out_.WriteLine(record_);
  }
}

// files, dirs and bytes, after a count.
void RecordWriter::AppendCounts(std::uint64_t bytes) {
  record_.append(json_ ? ",\"files\":" : ",");
  AppendNumber(record_, files_);
  record_.append(json_ ? ",\"dirs\":" : ",");
  AppendNumber(record_, dirs_);
  record_.append(json_ ? ",\"bytes\":" : ",");
  AppendNumber(record_, bytes);
}

void RecordWriter::AppendJsonRaw(std::string_view bytes) {
  record_.append(",\"raw\":\"");
  AppendBase64(record_, bytes);
  record_ += '"';
}

void RecordWriter::StatRecord(const std::string& root, std::uint64_t count, std::uint64_t bytes) {
  if (json_) {
    record_.append("{\"root\":\"");
    const bool exact = AppendJsonText(record_, root);
    record_.append("\",\"count\":");
    AppendNumber(record_, count);
    AppendCounts(bytes);
    if (!exact) AppendJsonRaw(root);
    record_ += '}';
  } else {
    const bool exact = AppendCsvField(record_, root);
    record_ += ',';
    AppendNumber(record_, count);
    AppendCounts(bytes);
    record_ += ',';
    if (!exact) AppendBase64(record_, root);
  }
  out_.WriteLine(record_);
}

}  // namespace tvx
