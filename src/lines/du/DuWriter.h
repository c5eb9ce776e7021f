// DU's writers: a line per directory after its contents (or the n largest
// at the end), the same as JSON Lines, and ncdu's export as the walk goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "DuTotals.h"
#include "TreeView.h"
#include "lines/Commands.h"
#include "lines/Options.h"
#include "text/Locale.h"

namespace tvx {

class LineWriter;

// What every DU writer shares: the totals, the device of the scanned
// directory for /XDEV, and the read failures it hears of.
class DuBase : public CommandWriter {
 public:
  explicit DuBase(bool sameDevice) : sameDevice_(sameDevice) {}
  bool WantsStorage() const override { return true; }
  bool Excludes(const StorageFacts& facts) const override;
  void Take(const EntryList& list, const TTarvixFileInfo& entry) override {
    TakeStored(list, entry, {});
  }
  // The directory being read could not be read whole.
  virtual void MarkPartial() { counter_.MarkPartial(); }

 protected:
  void CountEntered(const StorageFacts& own);
  // False for a directory, whose own size counts where it is entered.
  bool CountFile(const TTarvixFileInfo& entry, const StorageFacts& facts);
  DuCounter counter_;

 private:
  bool sameDevice_;
  bool deviceKnown_ = false;
  std::uint64_t device_ = 0;
};

// Lines or JSON records, one per directory down to /LEV, in walk order, or
// ranked by /O with /TOP.
class DuWriter final : public DuBase {
 public:
  DuWriter(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
           LineWriter& out);
  ~DuWriter() override;
  void TakeStored(const EntryList& list, const TTarvixFileInfo& entry,
                  const StorageFacts& facts) override;
  // With /TREE: the tree is drawn at the end, in this style.
  void DrawAs(const TreeStyle& style) { treeStyle_ = style; }
  void Entered(const EntryList&, std::uint32_t, const StorageFacts& own) override;
  void Left(const EntryList& list, std::uint32_t dirIndex) override;
  void Finish(const EntryList& list, const RunSummary& summary) override;

 private:
  std::uint32_t Levels() const;
  void AddToTree(const DirTotal& total, const std::string& path);
  void Write(const DirTotal& total, const std::string& path, const std::string& rel);
  void WriteLine(const DirTotal& total, const std::string& path);
  void WriteRecord(const DirTotal& total, const std::string& path, const std::string& rel);
  std::uint64_t Key(const DirTotal& total) const {
    return options_.Alloc ? total.Alloc : total.Size;
  }

  const ListOptions& options_;
  const PathStyle style_;
  const LocaleSettings& locale_;
  LineWriter& out_;
  std::unique_ptr<FullPrefixCache> prefixes_;  // made with the first directory, for its list
  std::unique_ptr<LargestDirs> ranked_;        // with /O: the lines kept until the end
  std::uint64_t written_ = 0;
  std::string line_;
  TreeStyle treeStyle_;
  std::vector<std::vector<TreeNode>>
      branches_;  // /TREE: the children of each directory on the path
  TreeNode tree_;
};

// ncdu's JSON export (version 1.2): each directory an array of its own
// facts and then its entries, written as the walk goes. A directory's facts
// wait for its first entry, so that a failure to read it can still be told.
class NcduWriter final : public DuBase {
 public:
  // header: the program's name, version and the time of the run, already
  // as the export's opening object.
  NcduWriter(const ListOptions& options, LineWriter& out, std::string header);
  void TakeStored(const EntryList& list, const TTarvixFileInfo& entry,
                  const StorageFacts& facts) override;
  void Entered(const EntryList& list, std::uint32_t dirIndex, const StorageFacts& own) override;
  void Left(const EntryList& list, std::uint32_t dirIndex) override;
  // Entries /X and /XDEV leave out appear, marked as such.
  bool WantsLeftOut() const override { return true; }
  void LeftOut(std::string_view name, bool isDir, const StorageFacts& facts, LeftOutBy by) override;
  void MarkPartial() override;
  void Finish(const EntryList& list, const RunSummary& summary) override;

 private:
  void WritePending();
  LineWriter& out_;
  std::string pending_;  // the facts of the directory entered, not yet written
  bool pendingError_ = false;
  std::uint64_t rootDevice_ = 0;
  std::string item_;
};

// The opening of an export: [1,2,{"progname":...,"progver":...,"timestamp":...}
std::string NcduHeader(const std::string& version, std::int64_t unixTime);

// name as an ncdu export writes it in a JSON string: '"', '\' and control
// bytes escaped, every other byte as it is (a name that is not UTF-8 stays
// its bytes).
void AppendNcduName(std::string& out, std::string_view name);

}  // namespace tvx
