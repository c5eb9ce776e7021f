// The directory walk on the UTF-16 calls: every name reaches the output
// exactly, as its short name, or marked inexact; directories are entered and
// read by their UTF-16 paths in the extended form, which has no MAX_PATH
// limit. A recursive walk reads subdirectories ahead on worker threads.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform.h"
#include "SubdirectoryIndex.h"
#include "WideText.h"
#include "Win32Listing.h"
#include "Win32ReadAhead.h"

namespace tvx {

// A directory entered by a scan: its full path in the extended form, ending
// in "\", and the subdirectories its read reported, in their order, with the
// names the scan was given for them.
struct Win32Dir final : DirHandle {
  struct Subdirectory {
    std::string name;
    std::wstring wide;
  };
  std::wstring path;
  std::vector<Subdirectory> subdirectories;
  std::size_t nextSubdirectory = 0;
  SubdirectoryIndex subdirectoryIndex;  // their names, once the walk leaves their order
  std::uint32_t level = 0;              // 0 for the scanned directory
  // The reads of the subdirectories, when they were posted to the workers;
  // closed when the walk leaves this directory.
  std::shared_ptr<ReadAhead::Job> job;
  // This directory's own listing, when it was read ahead.
  std::shared_ptr<ReadAhead::Job> prefetchedJob;
  ReadAhead::Slot* prefetched = nullptr;

  ~Win32Dir() override { CloseJob(); }
  void CloseJob() noexcept {
    if (job) job->owner.Close(*job);
    job.reset();
  }
};

class Win32Walk {
 public:
  explicit Win32Walk(const TextCodec& codec) : codec_(codec), readAhead_(codec) {}

  void ExpectRecursion(EntersSubdirectory enters) {
    readAheadWanted_ = true;
    enters_ = std::move(enters);
  }
  std::unique_ptr<DirHandle> EnterRoot(const std::string& fullPath);
  std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name);
  void ReadDirectory(DirHandle& dir, bool withDetails, EntrySink& sink);

 private:
  void PostSubdirectories(Win32Dir& dir, bool withDetails);

  const TextCodec& codec_;
  Listing listing_;  // reused for every directory the walk reads itself
  bool readAheadWanted_ = false;
  EntersSubdirectory enters_;  // the subdirectories read ahead; all when empty
  // Last: its workers stop before anything they could touch is gone.
  ReadAhead readAhead_;
};

}  // namespace tvx
