// The walk's side of the system: entering and reading directories, and the
// threads it reads ahead on. posix/ and win32/ each implement it; only tvx's
// own types cross it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "StorageFacts.h"
#include "text/Locale.h"
#include "text/Paths.h"
#include "text/Text.h"

namespace tvx {

// One entry as a directory read reports it, and as a listing holds it until
// then. Name and LongName point into the listing's own names, each followed
// by a zero byte, and stay there as long as the listing.
struct RawEntry {
  std::string_view Name;
  // The entry's own long name, as far as the code page can write it, when
  // Name is a short name standing in for it; empty otherwise.
  std::string_view LongName;
  std::uint64_t Size = 0;  // whole size in bytes; 0 for directories and links
  TDateTime DateTime = 0;  // local time
  bool IsDir = false;      // carries the directory attribute (a Windows directory link does too)
  bool IsLink = false;     // a symbolic link or reparse point: listed, never entered
  // The name could not be written exactly in the output's code page: it holds
  // "?" where characters are missing, so it names no file.
  bool Inexact = false;
  // Attributes as the directory read gives them (never set where the system
  // has no such thing). ReadOnly may need details where it costs a stat.
  bool Hidden = false;
  bool System = false;
  bool ReadOnly = false;
  bool Archive = false;
  // Seconds east of UTC that DateTime was read at, which makes it an instant
  // again even in the hour repeated when clocks go back; kUnknownUtcOffset
  // where the reader did not tell.
  std::int32_t UtcOffset = kUnknownUtcOffset;
  // Filled only after DirectorySource::AskStorage.
  StorageFacts Storage;
  // What the writers ask of Name, where the read learned it as it copied it.
  NameFacts Facts;

  // The name patterns match: the long one where a short one stands in.
  std::string_view OwnName() const { return LongName.empty() ? Name : LongName; }
};

// "." and "..", which no listing reports: in the system's narrow or wide names.
template <typename Char>
bool IsDotOrDotDot(const Char* name) {
  return name[0] == Char('.') &&
         (name[1] == Char(0) || (name[1] == Char('.') && name[2] == Char(0)));
}

class HeldListing;

class EntrySink {
 public:
  virtual ~EntrySink() = default;
  virtual void Add(const RawEntry& entry) = 0;
  // Every entry of a listing held whole, in order: each one Add'ed, unless
  // the sink takes them faster straight from the listing.
  virtual void AddHeld(const HeldListing& listing);
};

// A directory entered by a scan; what it holds is the platform's affair.
class DirHandle {
 public:
  virtual ~DirHandle() = default;
};

// One directory's entries, read whole and held until it delivers them to the walk.
class DirListing {
 public:
  virtual ~DirListing() = default;
  // How many entries it holds: what it costs to hold it.
  virtual std::size_t Count() const = 0;
  // Whether any entry is a directory, so that the handle it was read from
  // may still be needed to enter one.
  virtual bool HasSubdirectories() const = 0;
  // Hands sink every entry but "." and "..", in the system's order; raises
  // ReadFailure when the directory could not be read.
  virtual void Deliver(EntrySink& sink) = 0;
  // Hands sink at least the entries that are directories and not links, in
  // the same order: all a walk asks of a listing to plan what it will enter.
  virtual void DeliverSubdirectories(EntrySink& sink) { Deliver(sink); }
};

// Threads and locks, for systems whose standard library has none. A walk
// reads ahead on them.
class ThreadKit {
 public:
  class Mutex {
   public:
    virtual ~Mutex() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
  };
  class Condition {
   public:
    virtual ~Condition() = default;
    // Releases mutex while it waits, and holds it again when woken (which
    // may happen without a wake call).
    virtual void Wait(Mutex& mutex) = 0;
    virtual void WakeAll() = 0;
  };
  // A running thread; destroying it waits until its body has returned.
  class Thread {
   public:
    virtual ~Thread() = default;
  };
  virtual ~ThreadKit() = default;
  virtual std::unique_ptr<Mutex> NewMutex() = 0;
  virtual std::unique_ptr<Condition> NewCondition() = 0;
  // Null when no more threads can start.
  virtual std::unique_ptr<Thread> Start(std::function<void()> body) = 0;
  // Times the calling thread has given up the processor to wait for the
  // system (the device, the network); 0 where that is not known.
  virtual long Waits() { return 0; }
};

// How far a walk may read ahead here.
struct ReadAheadLimits {
  int FirstThreads = 1;  // started with the first read ahead
  int MaxThreads = 1;    // grown to while reads are seen to wait
  int Handles = 256;     // directories held open at once, by the walk and its readers
};

class DirectorySource {
 public:
  virtual ~DirectorySource() = default;

  virtual PathStyle Style() const = 0;
  virtual const CodePage& Code() const = 0;
  // The path made absolute against the current directory, lexically.
  virtual std::string FullPath(const std::string& path) = 0;
  // Enters the scanned directory, given as its full path ending in a
  // separator. Raises IoFailure with the system's error number when the
  // directory cannot be entered, ShortageFailure when no handle is left.
  virtual std::unique_ptr<DirHandle> EnterRoot(const std::string& fullPath) = 0;
  // Enters subdirectory `name` of an entered directory; fails as EnterRoot.
  // Called on any thread, for different names of one parent at once.
  virtual std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name) = 0;
  // Reads an entered directory whole, on any thread. withDetails: Size and
  // DateTime are wanted; otherwise they may be left 0. A directory the system
  // gives no reason for not reading reports nothing.
  virtual std::unique_ptr<DirListing> Read(DirHandle& dir, bool withDetails) = 0;
  // From now on every read also fills each entry's Storage, where the
  // system can tell it. Asked before a walk, never during one.
  virtual void AskStorage() {}
  // The storage facts of a directory given by its full path; none where
  // the system cannot tell them.
  virtual StorageFacts StorageOf(const std::string& /*fullPath*/) { return {}; }
  // Threads for reading ahead; null where the system offers none.
  virtual ThreadKit* Threads() { return nullptr; }
  virtual ReadAheadLimits Limits() { return {}; }
};

}  // namespace tvx
