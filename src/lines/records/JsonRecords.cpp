// JSON Lines: one object per line. Names that are not UTF-8 are written
// with U+FFFD and given exactly in a base64 "raw" field.
#include "RecordFormat.h"
#include "lines/RecordText.h"

namespace tvx {

namespace {

class JsonRecords final : public RecordFormat {
 public:
  void Begin(LineWriter&, CommandKind) override {}

  void EnterDirectory(std::string_view prefix, std::size_t rootLength) override {
    prefix_.assign(prefix);
    prefixText_.clear();
    relText_.clear();
    prefixExact_ = AppendJsonText(prefixText_, prefix);
    AppendJsonText(relText_, prefix.substr(rootLength));
  }

  void AppendEntry(std::string& record, const RecordEntry& entry) override {
    // A plain name needs no escape: it goes in as it is, with no look at its bytes.
    nameText_.clear();
    bool exact = prefixExact_;
    if (entry.Plain) {
      nameText_.append(entry.Name);
    } else {
      exact = AppendJsonText(nameText_, entry.Name) && exact;
    }
    record.append("{\"path\":\"").append(prefixText_).append(nameText_);
    record.append("\",\"rel\":\"").append(relText_).append(nameText_);
    record.append("\",\"name\":\"").append(nameText_);
    record.append("\",\"ext\":\"");
    if (entry.Plain) {
      record.append(entry.Ext);
    } else {
      AppendJsonText(record, entry.Ext);
    }
    record.append("\",\"type\":\"").append(entry.Type).append("\",\"size\":");
    AppendNumber(record, entry.Size);
    record.append(",\"mtime\":\"").append(entry.Mtime);
    record.append("\",\"attr\":\"").append(entry.Attr);
    record.append("\",\"depth\":");
    AppendNumber(record, entry.Depth);
    if (!exact) AppendRaw(record, prefix_ + std::string(entry.Name));
    record += '}';
  }

  void AppendStat(std::string& record, const RecordTotals& totals) override {
    const bool exact = AppendRootAndCounts(record, totals, "count");
    if (!exact) AppendRaw(record, totals.Root);
    record += '}';
  }

  bool AppendDirTotal(std::string& record, const RecordTotals& totals) override {
    record.append("{\"total\":");
    const bool exact = AppendRootAndCounts(record, totals, "entries");
    record.append(",\"drive_bytes\":");
    AppendNumber(record, totals.DriveBytes);
    record.append(",\"drive_free\":");
    AppendNumber(record, totals.DriveFree);
    if (!exact) AppendRaw(record, totals.Root);
    record.append("}}");
    return true;
  }

 private:
  // {"root":…,"<countName>":n,"files":n,"dirs":n,"bytes":n, open for more
  // fields; true when the root is valid UTF-8, else a "raw" field is owed.
  static bool AppendRootAndCounts(std::string& record, const RecordTotals& totals,
                                  std::string_view countName) {
    record.append("{\"root\":\"");
    const bool exact = AppendJsonText(record, totals.Root);
    record.append("\",\"").append(countName).append("\":");
    AppendNumber(record, totals.Count);
    record.append(",\"files\":");
    AppendNumber(record, totals.Files);
    record.append(",\"dirs\":");
    AppendNumber(record, totals.Dirs);
    record.append(",\"bytes\":");
    AppendNumber(record, totals.Bytes);
    return exact;
  }

  static void AppendRaw(std::string& record, std::string_view bytes) {
    record.append(",\"raw\":\"");
    AppendBase64(record, bytes);
    record += '"';
  }

  std::string prefix_;       // the directory's full path with its separator, as stored
  std::string prefixText_;   // the same escaped
  std::string relText_;      // its part below the listed directory, escaped
  std::string nameText_;     // the entry's name, escaped once for its three fields
  bool prefixExact_ = true;  // the prefix is valid UTF-8
};

}  // namespace

std::unique_ptr<RecordFormat> MakeJsonRecords() {
  return std::make_unique<JsonRecords>();
}

}  // namespace tvx
