#include "DuWriter.h"
#include "lines/Output.h"
#include "walk/EntryList.h"

namespace tvx {

namespace {

void AppendFigures(std::string& out, const StorageFacts& facts, std::uint64_t listedSize) {
  const std::uint64_t asize = facts.Known ? facts.Apparent : listedSize;
  const std::uint64_t dsize = facts.Known ? facts.Allocated : listedSize;
  if (asize != 0) out += ",\"asize\":" + std::to_string(asize);
  if (dsize != 0) out += ",\"dsize\":" + std::to_string(dsize);
}

}  // namespace

std::string NcduHeader(const std::string& version, std::int64_t unixTime) {
  std::string header = "[1,2,{\"progname\":\"tvx\",\"progver\":\"";
  AppendNcduName(header, version);
  return header + "\",\"timestamp\":" + std::to_string(unixTime) + "}";
}

void AppendNcduName(std::string& out, std::string_view name) {
  static const char kHex[] = "0123456789abcdef";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
}

NcduWriter::NcduWriter(const ListOptions& options, LineWriter& out, std::string header)
    : DuBase(options.Xdev), out_(out) {
  out_.Append(header);
  out_.EndLine();
}

void NcduWriter::WritePending() {
  if (pending_.empty()) return;
  if (pendingError_) pending_ += ",\"read_error\":true";
  pending_ += '}';
  out_.Append(pending_);
  out_.EndLine();
  pending_.clear();
  pendingError_ = false;
}

void NcduWriter::Entered(const EntryList& list, std::uint32_t dirIndex, const StorageFacts& own) {
  WritePending();
  const bool root = counter_.Depth() == 0;
  CountEntered(own);
  pending_ = ",[{\"name\":\"";
  if (root) {
    rootDevice_ = own.Device;
    AppendNcduName(pending_, WithoutFinalSeparator(list.Root(), list.Style(), list.Code()));
  } else {
    AppendNcduName(pending_, list.DirectoryName(dirIndex));
  }
  pending_ += '"';
  AppendFigures(pending_, own, 0);
  if (root && own.Known) pending_ += ",\"dev\":" + std::to_string(own.Device);
  if (own.Known) pending_ += ",\"ino\":" + std::to_string(own.Inode);
}

void NcduWriter::TakeStored(const EntryList&, const TTarvixFileInfo& entry,
                            const StorageFacts& facts) {
  if (!CountFile(entry, facts)) return;
  WritePending();
  item_ = ",{\"name\":\"";
  AppendNcduName(item_, entry.Name());
  item_ += '"';
  AppendFigures(item_, facts, entry.Size());
  if (facts.Known) {
    item_ += ",\"ino\":" + std::to_string(facts.Inode);
    if (facts.Links > 1) item_ += ",\"hlnkc\":true,\"nlink\":" + std::to_string(facts.Links);
  }
  if (entry.IsLink() || facts.Special) item_ += ",\"notreg\":true";
  item_ += '}';
  out_.Append(item_);
  out_.EndLine();
}

void NcduWriter::LeftOut(std::string_view name, bool isDir, const StorageFacts& facts,
                         LeftOutBy by) {
  WritePending();
  // As ncdu writes them: a mount point as a directory with its device and
  // no entries, a name an exclusion pattern matched with nothing but that.
  const bool otherDevice = by == LeftOutBy::OtherDevice;
  item_ = otherDevice && isDir ? ",[{\"name\":\"" : ",{\"name\":\"";
  AppendNcduName(item_, name);
  item_ += '"';
  if (otherDevice && facts.Known) item_ += ",\"dev\":" + std::to_string(facts.Device);
  item_ += otherDevice ? ",\"excluded\":\"otherfs\"}" : ",\"excluded\":\"pattern\"}";
  if (otherDevice && isDir) item_ += ']';
  out_.Append(item_);
  out_.EndLine();
}

void NcduWriter::Left(const EntryList&, std::uint32_t) {
  WritePending();
  counter_.Leave();
  out_.Append("]");
  out_.EndLine();
}

void NcduWriter::MarkPartial() {
  DuBase::MarkPartial();
  pendingError_ = !pending_.empty();
}

void NcduWriter::Finish(const EntryList&, const RunSummary&) {
  out_.Append("]");
  out_.EndLine();
}

}  // namespace tvx
