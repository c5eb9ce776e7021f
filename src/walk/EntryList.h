// The entry list: the records of a scan in walk order, the directories they
// were found in, and copies of their names.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/StorageFacts.h"
#include "text/Blocks.h"
#include "text/Locale.h"
#include "text/NameArena.h"
#include "text/Paths.h"
#include "text/Text.h"

namespace tvx {

// One entry. Records are compact, as trees of millions of entries are
// common: 24 bytes each. The name lives zero-terminated elsewhere (in the
// directory's listing while the walk is in it, in the list once kept), the
// directory it was found in is shared by its siblings and told by the list,
// and the time is
// kept in 2-second units (the DOS date and time that listings show have no
// finer resolution) from 30 December 1899 up to the year 2171, earlier and
// later times being held at those ends, with a flag for an odd second.
class TTarvixFileInfo {
 public:
  TTarvixFileInfo() = default;
  // name is zero-terminated and outlives the record; time may be odd.
  // utcOffset: the seconds east of UTC that time was read at, if known.
  // Inline: the walk makes one for every entry it keeps.
  explicit TTarvixFileInfo(const char* name, std::uint64_t size = 0, TDateTime time = 0,
                           bool isDir = false, bool inexact = false, unsigned attributes = 0,
                           std::int32_t utcOffset = kUnknownUtcOffset)
      : NameData(name),
        SizeBytes(std::min(size, kSizeMask) |
                  static_cast<std::uint64_t>(attributes & 0x1F) << kAttributeShift |
                  (utcOffset == kUnknownUtcOffset ? 0 : OffsetIndex(utcOffset)) << kOffsetShift |
                  (time % 2 != 0 ? kOddSecond : 0)),
        DirAndFlag((isDir ? kDirFlag : 0) | (inexact ? kInexactFlag : 0)) {
    const TDateTime units = (time - (time % 2 + 2) % 2) / 2;
    TimeUnits = units <= 0            ? 0
                : units >= UINT32_MAX ? UINT32_MAX
                                      : static_cast<std::uint32_t>(units);
  }
  std::string_view Name() const { return NameData; }
  const char* NameText() const { return NameData; }             // zero-terminated
  std::uint64_t Size() const { return SizeBytes & kSizeMask; }  // 0 for directories and links
  TDateTime DateTime() const { return static_cast<TDateTime>(TimeUnits) * 2; }
  // The time to the second, where DateTime has the listings' 2 seconds.
  TDateTime ExactDateTime() const { return DateTime() + ((SizeBytes & kOddSecond) ? 1 : 0); }
  // The seconds east of UTC the time was read at; kUnknownUtcOffset when not
  // told, or when more distances than the record can tell apart were met.
  std::int32_t UtcOffset() const;
  // What a directory read told of the entry beyond the above, as these bits.
  static constexpr unsigned kHidden = 1, kSystem = 2, kReadOnly = 4, kArchive = 8, kLink = 16;
  unsigned Attributes() const { return static_cast<unsigned>(SizeBytes >> kAttributeShift) & 0x1F; }
  bool IsLink() const { return (Attributes() & kLink) != 0; }
  bool IsDir() const { return (DirAndFlag & kDirFlag) != 0; }
  // The name holds "?" for characters the output's code page lacks.
  bool IsInexact() const { return (DirAndFlag & kInexactFlag) != 0; }
  // The name holds a control byte (0x01-0x1F, 0x7F), which would break a
  // line, or on Windows a character that no Windows name holds, which a
  // command line would take for an operator or a wildcard. It is kept as it
  // is; a control byte is shown with "?" where it is displayed. On Windows
  // it is set too for a name Win32 takes for another (Win32RewritesName),
  // which the name check then tells apart.
  bool HasControlBytes() const { return (DirAndFlag & kControlFlag) != 0; }
  // No byte of the name asks for quotes under any rule (nor is one a quote
  // character): no writer need look at it for that. Clear, it may still not.
  bool IsQuietName() const { return (DirAndFlag & kQuietFlag) != 0; }
  // Every byte of the name is ASCII: as many columns as bytes, on any console.
  bool IsAsciiName() const { return (DirAndFlag & kAsciiFlag) != 0; }
  std::uint32_t DirIndex() const { return DirAndFlag & kIndexMask; }

 private:
  friend class EntryList;
  static constexpr std::uint32_t kDirFlag = 0x80000000u;
  static constexpr std::uint32_t kInexactFlag = 0x40000000u;
  static constexpr std::uint32_t kControlFlag = 0x20000000u;
  static constexpr std::uint32_t kQuietFlag = 0x10000000u;
  static constexpr std::uint32_t kAsciiFlag = 0x08000000u;
  static constexpr std::uint32_t kIndexMask = kAsciiFlag - 1;
  // The attributes, the odd second and the UTC offset's index (among the few
  // a run meets) ride in the size's top bits: no file comes near 32 PiB,
  // and the record stays at 24 bytes.
  static constexpr int kAttributeShift = 58;
  static constexpr int kOffsetShift = 55;
  static constexpr std::uint64_t kOddSecond = std::uint64_t{1} << 63;
  static constexpr std::uint64_t kOffsetBits = std::uint64_t{7} << kOffsetShift;
  static constexpr std::uint64_t kSizeMask = (std::uint64_t{1} << kOffsetShift) - 1;
  // The index of a known UTC offset in the run's small table; 0 when full.
  static std::uint64_t OffsetIndex(std::int32_t seconds);

  const char* NameData = "";
  std::uint64_t SizeBytes = 0;
  std::uint32_t DirAndFlag = 0;
  std::uint32_t TimeUnits = 0;
};

class EntryList;

// Takes each listed entry as the walk reaches it, where a command writes it
// at once instead of keeping the list. The entry's name lives until the
// walk leaves its directory.
class EntryConsumer {
 public:
  virtual ~EntryConsumer() = default;
  virtual void Take(const EntryList& list, const TTarvixFileInfo& entry) = 0;

  // A consumer that follows the shape of the tree (the totals of each
  // directory) is told more. WantsStorage: every entry's storage facts are
  // read (a stat each) and told with TakeStored instead of Take.
  virtual bool WantsStorage() const { return false; }
  virtual void TakeStored(const EntryList& list, const TTarvixFileInfo& entry,
                          const StorageFacts&) {
    Take(list, entry);
  }
  // Asked of every entry read, where storage is wanted: true leaves it out,
  // neither listed nor entered (another file system, say).
  virtual bool Excludes(const StorageFacts&) const { return false; }
  // Where WantsLeftOut: each entry left out by an exclusion pattern or by
  // Excludes, told as its directory is read (after Entered, before the
  // entries). Asked only once, so a walk that does not want them pays nothing.
  enum class LeftOutBy { Pattern, OtherDevice };
  virtual bool WantsLeftOut() const { return false; }
  virtual void LeftOut(std::string_view /*name*/, bool /*isDir*/, const StorageFacts&, LeftOutBy) {}
  // The walk enters directory dirIndex (the root is 0), before any of its
  // entries, and leaves it after them and all below it. own: the
  // directory's storage facts, where wanted. A directory that could not be
  // entered or read is entered and left too where the walk goes on past it.
  virtual void Entered(const EntryList&, std::uint32_t /*dirIndex*/, const StorageFacts& /*own*/) {}
  virtual void Left(const EntryList&, std::uint32_t /*dirIndex*/) {}
};

// The records in scan order, and the directories they were found in. The list
// owns all of it; nothing is freed entry by entry. A directory is kept as its
// parent and name, so a deep tree costs no more than a flat one.
//
// Streamed (StreamTo), the list keeps no records: each goes to the consumer
// as it is added, with the name it was given, and the directories are a
// stack that the walk winds back as it leaves each one, so memory follows
// the depth of the walk, not the size of the tree. A directory keeps its index
// for good (no other directory gets it again), but once the walk has left
// it, it names nothing.
class EntryList {
 public:
  EntryList();
  ~EntryList();
  EntryList(const EntryList&) = delete;
  EntryList& operator=(const EntryList&) = delete;

  std::size_t Count() const { return count_; }
  const TTarvixFileInfo& operator[](std::size_t index) const {
    return chunks_[index / kChunk][index % kChunk];
  }
  template <typename F>
  void ForEach(F&& f) const {
    for (std::size_t c = 0; c * kChunk < count_; ++c) {
      const std::size_t n = std::min(kChunk, count_ - c * kChunk);
      const TTarvixFileInfo* chunk = chunks_[c];
      for (std::size_t i = 0; i < n; ++i) f(chunk[i]);
    }
  }

  // The scanned directory: a full path ending in its separator, as it is
  // (a control byte in it is shown only where it is displayed).
  const std::string& Root() const { return root_; }
  // code cuts names into characters, so that no trail byte counts as one.
  std::uint32_t SetRoot(std::string fullPath, PathStyle style,
                        const CodePage& code = CodePage::SingleByte());
  // The path syntax of the scanned system, which also picks the quoting rule.
  PathStyle Style() const { return style_; }
  // The code page the names are cut into characters by.
  const CodePage& Code() const { return code_; }
  // A subdirectory entered, by its name (it need not be listed) and whether
  // that name is inexact. The list keeps a copy of the name.
  std::uint32_t AddSubdirectory(std::uint32_t parent, std::string_view name, bool inexact);
  // entry, whose name is nameLength bytes, found in directory dirIndex. A kept
  // record gets a copy of the name; a streamed one is handed over as it is.
  // The record notes a name no line can hold, by facts learned of the name
  // when it was read (or, not known, learned here). storage, where given,
  // goes to the consumer with the record.
  const TTarvixFileInfo& Add(const TTarvixFileInfo& entry, std::size_t nameLength,
                             std::uint32_t dirIndex, NameFacts facts = {},
                             const StorageFacts* storage = nullptr);
  // Add where the list streams to no consumer: the walk's common case,
  // inline so that a run of a directory's entries is kept in one loop.
  const TTarvixFileInfo& Keep(const TTarvixFileInfo& given, std::size_t nameLength,
                              std::uint32_t dirIndex, NameFacts facts) {
    if (count_ == chunks_.size() * kChunk) NewChunk();
    TTarvixFileInfo& entry = chunks_[count_ / kChunk][count_ % kChunk];
    entry = given;
    entry.NameData = names_.Store({given.NameData, nameLength});
    Note(entry, nameLength, dirIndex, facts);
    return entry;
  }
  // Clears the list; a consumer set stays set.
  void Clear();

  // Hands every record added from now on to consumer instead of keeping it
  // (null: keep them).
  void StreamTo(EntryConsumer* consumer) { consumer_ = consumer; }
  EntryConsumer* Consumer() const { return consumer_; }
  // How far down the walk's path the list stands, and a return to it as the
  // walk leaves: a streamed list forgets the directories added since, and
  // their names. A kept one keeps everything.
  struct PathMark {
    NameArena::Mark names;
    std::size_t dirs;
  };
  PathMark Mark() const { return {names_.Here(), dirs_.size()}; }
  // The walk is over: what its last large blocks hold unused is given back.
  void ReleaseUnusedEnd();
  void Rewind(const PathMark& mark);
  // The first entry whose name or directory path is inexact or holds a
  // control byte; Count() when there is none.
  std::size_t FirstInexact() const { return firstInexact_; }
  // Whether the directory's path below the root holds an inexact name, so
  // names no directory.
  bool InInexactDirectory(std::uint32_t dirIndex) const {
    return (dirFlags_[Slot(dirIndex)] & kInexactPath) != 0;
  }
  // Whether the directory's path below the root holds a name that no line
  // can hold (a control byte; on Windows a character no Windows name has).
  bool InControlDirectory(std::uint32_t dirIndex) const {
    return (dirFlags_[Slot(dirIndex)] & kUnwritablePath) != 0;
  }
  // Whether the directory's path below the root holds a name Win32 takes for
  // another (on Windows), so names no directory on any line.
  bool InRewrittenDirectory(std::uint32_t dirIndex) const {
    return (dirFlags_[Slot(dirIndex)] & kRewrittenPath) != 0;
  }
  // Whether the listed directory's own path holds a control byte.
  bool RootHasControl() const { return rootControl_; }
  // Directory dirIndex's own name, as the walk entered it (empty for the
  // root); streamed, only while the walk is in it.
  std::string_view DirectoryName(std::uint32_t dirIndex) const {
    return dirs_[Slot(dirIndex)].Name;
  }

 private:
  friend class FullPrefixCache;
  struct DirRecord {
    const char* Name;  // the directory's own record's name
    std::uint32_t Parent;
    std::uint32_t PrefixLength;  // of the full prefix ending in the separator
  };
  static constexpr std::size_t kChunk = 4096;

  // Where directory dirIndex is kept: its index itself, or, streamed, its
  // place on the stack of directories (dirs_.size() once it was left).
  std::size_t Slot(std::uint32_t dirIndex) const {
    if (!stacked_) return dirIndex;
    // Most asks are of the directory the walk is in: the stack's top.
    if (dirIndices_.back() == dirIndex) return dirIndices_.size() - 1;
    return StackSlot(dirIndex);
  }
  std::size_t StackSlot(std::uint32_t dirIndex) const;
  // Sets entry's directory and the flags of its name, and counts it.
  void Note(TTarvixFileInfo& entry, std::size_t nameLength, std::uint32_t dirIndex,
            NameFacts facts) {
    if (!facts.Known()) facts = NameFactsOf({entry.NameData, nameLength});
    const bool control = UnwritableOnALine({entry.NameData, nameLength}, facts) != 0;
    using Info = TTarvixFileInfo;
    entry.DirAndFlag =
        (entry.DirAndFlag &
         ~(Info::kIndexMask | Info::kControlFlag | Info::kQuietFlag | Info::kAsciiFlag)) |
        dirIndex | (control ? Info::kControlFlag : 0) | (facts.Special() ? 0 : Info::kQuietFlag) |
        (facts.Ascii() ? Info::kAsciiFlag : 0);
    // An entry of a directory left out by a filter counts too: its line holds
    // that directory's name.
    if (firstInexact_ == count_ && !rootControl_ && !entry.IsInexact() && !control &&
        dirFlags_[Slot(dirIndex)] == 0) {
      ++firstInexact_;
    }
    ++count_;
  }
  // Why no line can hold the name: 0, kUnwritablePath or kRewrittenPath.
  // Inline: asked of every entry kept; a POSIX name needs no more than its facts.
  std::uint8_t UnwritableOnALine(std::string_view name, NameFacts facts) const {
    if (style_ == PathStyle::Windows) return UnwritableOnWindows(name, facts);
    return facts.Control() ? kUnwritablePath : 0;
  }
  std::uint8_t UnwritableOnWindows(std::string_view name, NameFacts facts) const;

  // Room for kChunk more records: a block of its own while the list is
  // small, a large block's share once it is big.
  TTarvixFileInfo* NewChunk();

  std::vector<TTarvixFileInfo*> chunks_;
  std::vector<BlockBytes> chunkBlocks_;  // what the chunks are in
  char* chunkAt_ = nullptr;              // where the next chunk goes in the last block
  std::size_t blockLeft_ = 0;            // and the bytes after it
  std::size_t count_ = 0;
  std::size_t firstInexact_ = 0;
  NameArena names_;  // of the kept records, and of the directories
  EntryConsumer* consumer_ = nullptr;
  TTarvixFileInfo streamed_;  // the record being handed over
  std::vector<DirRecord> dirs_;
  // What a directory's path below the root holds, with its parents': a
  // name that is inexact, a name that no line can hold, a name Win32
  // takes for another.
  static constexpr std::uint8_t kInexactPath = 1, kUnwritablePath = 2, kRewrittenPath = 4;
  std::vector<std::uint8_t> dirFlags_;  // beside dirs_
  bool rootControl_ = false;
  std::vector<std::uint32_t> dirIndices_;  // beside dirs_ when streamed: their indices, rising
  std::uint32_t dirCount_ = 0;             // directories added: the next one's index
  bool stacked_ = false;                   // streamed from the root on: dirs_ holds the walk's path
  std::string root_;
  PathStyle style_ = PathStyle::Posix;
  CodePage code_;
};

// Full prefixes ("/home/x/", "C:\data\") of the directories in list order,
// built incrementally: a scan's order moves one level at a time.
class FullPrefixCache {
 public:
  explicit FullPrefixCache(const EntryList& list) : list_(list) {}
  // Inline: asked for every entry, mostly of the directory asked last.
  const std::string& For(std::uint32_t dirIndex) {
    return dirIndex == current_ ? text_ : MoveTo(dirIndex);
  }

 private:
  const std::string& MoveTo(std::uint32_t dirIndex);
  bool IsAncestor(std::uint32_t a, std::uint32_t b) const;

  const EntryList& list_;
  std::uint32_t current_ = UINT32_MAX;
  std::string text_;
};

}  // namespace tvx
