#include "DuWriter.h"

#include "lines/Output.h"
#include "lines/RecordText.h"
#include "text/Paths.h"
#include "text/Text.h"
#include "walk/EntryList.h"

namespace tvx {

namespace {

void AppendRight(std::string& out, std::string_view text, std::size_t width) {
  if (text.size() < width) out.append(width - text.size(), ' ');
  out.append(text);
}

}  // namespace

bool DuBase::Excludes(const StorageFacts& facts) const {
  return sameDevice_ && deviceKnown_ && facts.Known && facts.Device != device_;
}

void DuBase::CountEntered(const StorageFacts& own) {
  if (counter_.Depth() == 0 && own.Known) {
    deviceKnown_ = true;
    device_ = own.Device;
  }
  counter_.Enter(own);
}

bool DuBase::CountFile(const TTarvixFileInfo& entry, const StorageFacts& facts) {
  if (entry.IsDir() && !entry.IsLink()) return false;
  counter_.AddFile(facts, entry.Size());
  return true;
}

DuWriter::DuWriter(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
                   LineWriter& out)
    : DuBase(options.Xdev), options_(options), style_(style), locale_(locale), out_(out) {
  if (!options.Order.empty())
    ranked_ = std::make_unique<LargestDirs>(options.Top, !options.Order.front().Reversed);
}

DuWriter::~DuWriter() = default;

void DuWriter::TakeStored(const EntryList&, const TTarvixFileInfo& entry,
                          const StorageFacts& facts) {
  CountFile(entry, facts);
}

std::uint32_t DuWriter::Levels() const {
  const std::uint32_t levels = options_.Chosen.Levels();
  // A tree to look at stops at two levels unless told otherwise.
  return options_.Tree && levels == 0 ? 2 : levels;
}

void DuWriter::Entered(const EntryList&, std::uint32_t, const StorageFacts& own) {
  const std::size_t depth = counter_.Depth();
  CountEntered(own);
  if (options_.Tree && depth <= Levels()) branches_.emplace_back();
}

void DuWriter::AddToTree(const DirTotal& total, const std::string& path) {
  TreeNode node;
  const std::size_t cut = path.find_last_of(Separator(style_));
  node.name = total.Depth == 0 || cut == std::string::npos ? path : path.substr(cut + 1);
  node.size = Key(total);
  node.partial = total.Partial;
  node.children = std::move(branches_.back());
  branches_.pop_back();
  if (branches_.empty()) {
    tree_ = std::move(node);
  } else {
    branches_.back().push_back(std::move(node));
  }
}

void DuWriter::Left(const EntryList& list, std::uint32_t dirIndex) {
  const DirTotal total = counter_.Leave();
  const std::uint32_t levels = Levels();
  if (levels != 0 && total.Depth > levels) return;
  if (!ranked_ && options_.Top != 0 && written_ == options_.Top) return;
  if (ranked_ && !ranked_->Wants(Key(total))) {
    ranked_->Add({total, Key(total), 0, {}, {}});
    return;
  }
  if (!prefixes_) prefixes_ = std::make_unique<FullPrefixCache>(list);
  const std::string& prefix = prefixes_->For(dirIndex);
  std::string path = WithoutFinalSeparator(prefix, style_, list.Code());
  std::string rel = WithoutFinalSeparator(std::string_view(prefix).substr(list.Root().size()),
                                          style_, list.Code());
  if (options_.Tree) {
    AddToTree(total, path);
    return;
  }
  if (ranked_) {
    ranked_->Add({total, Key(total), 0, std::move(path), std::move(rel)});
    return;
  }
  Write(total, path, rel);
}

void DuWriter::Write(const DirTotal& total, const std::string& path, const std::string& rel) {
  ++written_;
  if (options_.Records == RecordForm::Json) {
    WriteRecord(total, path, rel);
  } else {
    WriteLine(total, path);
  }
}

void DuWriter::WriteLine(const DirTotal& total, const std::string& path) {
  const std::uint64_t size = Key(total);
  line_.clear();
  if (options_.Human) {
    AppendRight(line_, HumanSize(size), 10);
  } else {
    AppendRight(line_, FormatNumber(size, locale_), 20);
  }
  line_ += "  ";
  AppendRight(line_, FormatNumber(total.Files, locale_), 12);
  line_ += total.Partial ? " ! " : "   ";
  const std::size_t at = line_.size();
  line_ += path;
  // A control byte would break the line; with /0 names stay as they are.
  if (!options_.Nul) {
    std::string shown = line_.substr(at);
    ShowControlChars(shown);
    line_.replace(at, std::string::npos, shown);
  }
  if (options_.Nul) {
    out_.Append(line_);
    out_.EndWith('\0');
  } else {
    out_.WriteLine(line_);
  }
}

void DuWriter::WriteRecord(const DirTotal& total, const std::string& path, const std::string& rel) {
  line_ = "{\"path\":\"";
  const bool exact = AppendJsonText(line_, path);
  line_ += "\",\"rel\":\"";
  AppendJsonText(line_, rel);
  line_ += "\",\"depth\":" + std::to_string(total.Depth) +
           ",\"size\":" + std::to_string(total.Size) + ",\"alloc\":" + std::to_string(total.Alloc) +
           ",\"files\":" + std::to_string(total.Files) + ",\"dirs\":" + std::to_string(total.Dirs);
  if (total.Partial) line_ += ",\"read_error\":true";
  if (!exact) {
    // The path's bytes, where U+FFFD stands in for what is not UTF-8.
    line_ += ",\"raw\":\"";
    AppendBase64(line_, path);
    line_ += '"';
  }
  line_ += '}';
  out_.WriteLine(line_);
}

void DuWriter::Finish(const EntryList&, const RunSummary&) {
  if (options_.Tree) {
    for (const std::string& line : DrawTree(tree_, treeStyle_, HumanSize)) out_.WriteLine(line);
    return;
  }
  if (!ranked_) return;
  for (const LargestDirs::Kept& kept : ranked_->Take()) Write(kept.Total, kept.Path, kept.Rel);
}

}  // namespace tvx
