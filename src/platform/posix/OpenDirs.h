// The directories of a scan, each opened relative to its parent, with a
// bounded number of descriptors open at once.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "Platform.h"
#include "ReadAhead.h"
#include "SubdirectoryIndex.h"

namespace tvx {

class PosixDir;

// The directories of a scan hold descriptors while their subdirectories are
// walked. A deep tree would need one per level, so past a limit the oldest
// are closed and opened again, relative to their parent, when next needed.
// Opening relative to the parent also keeps paths longer than PATH_MAX working.
class OpenDirs {
 public:
  static constexpr std::size_t kLimit = 256;
  std::list<PosixDir*> open;
  // Closes the oldest open directory but keep; false when there is none.
  bool CloseOldest(PosixDir* keep);
};

class PosixDir : public DirHandle {
 public:
  PosixDir(OpenDirs& dirs, PosixDir* parent, std::string name)
      : dirs_(dirs), parent_(parent), name_(std::move(name)) {}
  ~PosixDir() override;

  // Read ahead: the job for this directory's subdirectories and how many of
  // them the walk has entered; for this directory itself, its slot when it
  // was read ahead.
  std::shared_ptr<ReadAhead::Job> job;
  std::size_t nextSlot = 0;     // the slot after the one the walk entered last
  SubdirectoryIndex slotIndex;  // the slots' names, once the walk leaves their order
  ReadAhead::PlacePtr place;
  ReadAhead::Slot* prefetched = nullptr;

  const std::string& Name() const { return name_; }
  // The descriptor, opened (again) when needed; -1 when it cannot be.
  int Fd();

 private:
  friend class OpenDirs;
  int OpenHere() const;
  void Opened();
  void Close();

  OpenDirs& dirs_;
  PosixDir* parent_;
  std::string name_;  // the full path for the scanned directory itself
  int fd_ = -1;
  std::list<PosixDir*>::iterator self_;
};

}  // namespace tvx
