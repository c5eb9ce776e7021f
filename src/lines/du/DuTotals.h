// DU's arithmetic: each directory's totals as the walk enters and leaves
// it, files with several hard links counted once, the largest directories
// of a tree kept in room for n, and sizes as people read them. Pure logic.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/StorageFacts.h"

namespace tvx {

// What is below one directory, itself included.
struct DirTotal {
  std::uint64_t Size = 0;   // apparent bytes
  std::uint64_t Alloc = 0;  // allocated bytes
  std::uint64_t Files = 0;  // entries that are not directories
  std::uint64_t Dirs = 0;   // directories below it
  std::uint32_t Depth = 0;  // 0 for the scanned directory
  bool Partial = false;     // a directory at or below it could not be read whole
};

// The totals of the directories on the walk's path: memory follows the
// depth of the tree, and the hard-linked files seen.
class DuCounter {
 public:
  // own: the directory's own facts (unknown ones count nothing).
  void Enter(const StorageFacts& own);
  // A file (or link, or anything not entered) in the innermost directory.
  // Without facts its size stands for both figures. A file whose device
  // and inode were counted before counts no more.
  void AddFile(const StorageFacts& facts, std::uint64_t listedSize);
  // The directory being read, and so all above it, is incomplete.
  void MarkPartial();
  // The innermost directory's totals, added to its parent's.
  DirTotal Leave();
  std::size_t Depth() const { return stack_.size(); }

 private:
  struct FileId {
    std::uint64_t Device, Inode;
    bool operator==(const FileId&) const = default;
  };
  struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
      return std::hash<std::uint64_t>()(id.Inode * 0x9E3779B97F4A7C15ull ^ id.Device);
    }
  };
  std::vector<DirTotal> stack_;
  std::unordered_set<FileId, FileIdHash> linked_;  // files of more than one link seen
};

// The n directories first by size (largest first, or smallest with
// smallestFirst), in a heap of n: their lines are made only once known.
class LargestDirs {
 public:
  struct Kept {
    DirTotal Total;
    std::uint64_t Key;   // the size ranked by
    std::uint64_t Seen;  // walk order, which settles ties
    std::string Path;
    std::string Rel;
  };
  // n 0: every one is kept.
  LargestDirs(std::uint64_t n, bool smallestFirst) : n_(n), smallestFirst_(smallestFirst) {}
  // Whether a directory of this key would be kept: its path is made only then.
  bool Wants(std::uint64_t key) const;
  void Add(Kept kept);
  // Best first.
  std::vector<Kept> Take();

 private:
  bool Before(const Kept& a, const Kept& b) const;
  std::uint64_t n_;
  bool smallestFirst_;
  std::uint64_t seen_ = 0;
  std::vector<Kept> heap_;  // worst kept at the front
};

// "512 B", "1.2 KiB", "15 MiB", "1.2 GiB": a tenth shown below 10.
std::string HumanSize(std::uint64_t bytes);

}  // namespace tvx
