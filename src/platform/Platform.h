// The operating-system boundary. Everything the logic needs from the system goes
// through this interface; posix/ and win32/ each implement it, and CMake picks one.
// Only tvx's own types cross it, so no platform header leaks into the logic.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Locale.h"
#include "Messages.h"
#include "Paths.h"
#include "Text.h"

namespace tvx {

// One entry as a directory read reports it. Name points into the reader's own
// buffer and is valid only during the callback.
struct RawEntry {
  std::string_view Name;
  bool IsDir = false;      // carries the directory attribute (a Windows directory link does too)
  bool IsLink = false;     // a symbolic link or reparse point: listed, never entered
  std::uint64_t Size = 0;  // whole size in bytes; 0 for directories and links
  TDateTime DateTime = 0;  // local time
  // The name could not be written exactly in the output's code page: it holds
  // "?" where characters are missing, so it names no file.
  bool Inexact = false;
  // Attributes as the directory read gives them (never set where the system
  // has no such thing). ReadOnly may need details where it costs a stat.
  bool Hidden = false;
  bool System = false;
  bool ReadOnly = false;
  bool Archive = false;
  // The entry's own long name, as far as the code page can write it, when
  // Name is a short name standing in for it; empty otherwise.
  std::string_view LongName;
};

class EntrySink {
 public:
  virtual ~EntrySink() = default;
  virtual void Add(const RawEntry& entry) = 0;
};

// A directory entered by a scan; what it holds is the platform's affair.
class DirHandle {
 public:
  virtual ~DirHandle() = default;
};

// One directory's entries, read whole and held until the walk reports them.
class DirListing {
 public:
  virtual ~DirListing() = default;
  // How many entries it holds: what it costs to hold it.
  virtual std::size_t Count() const = 0;
  // Whether any entry is a directory, so that the handle it was read from
  // may still be needed to enter one.
  virtual bool HasSubdirectories() const = 0;
  // Reports every entry but "." and "..", in the system's order; raises
  // ReadFailure when the directory could not be read.
  virtual void Report(EntrySink& sink) = 0;
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

// Where lines go. Write raises IoFailure when the bytes cannot be written.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual bool IsInteractive() const = 0;  // a console or terminal: flush per line
  // The width in columns of the terminal or console written to; 0 for a
  // file or a pipe, where no progress line may go.
  virtual std::size_t TerminalColumns() const { return 0; }
  // Writes the bytes before returning; raises IoFailure when they cannot be.
  virtual void Write(const char* data, std::size_t size) = 0;
  // Takes a full buffer while more will follow and leaves `bytes` empty. A
  // sink may write it later on a thread of its own; a failure then surfaces
  // from a later call.
  virtual void Pass(std::string& bytes) {
    Write(bytes.data(), bytes.size());
    bytes.clear();
  }
  // Pass, but only when that need not wait for an earlier buffer still being
  // written; false (and bytes kept) otherwise.
  virtual bool PassIfIdle(std::string& bytes) {
    Pass(bytes);
    return true;
  }
  // Returns once everything passed is written; raises the failure if not.
  virtual void Drain() {}
};

struct DiskSpace {
  std::uint64_t Total = 0;
  std::uint64_t FreeForCaller = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  virtual PathStyle Style() const = 0;
  virtual const CodePage& Code() const = 0;
  virtual std::string_view LineBreak() const = 0;

  // Parameters 1..N of the command line (parameter 0, the program's file, is cut off).
  virtual std::vector<std::string> Parameters() = 0;
  // NAME=VALUE lines in the order the system stores them, read afresh.
  virtual std::vector<std::string> Environment() = 0;
  // Equality of two names ignoring letter case, by the system's rules.
  virtual bool SameTextIgnoringCase(std::string_view a, std::string_view b) = 0;

  virtual std::string CurrentDirectory() = 0;
  // The path made absolute against the current directory, lexically.
  virtual std::string FullPath(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
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
  void ReadDirectory(DirHandle& dir, bool withDetails, EntrySink& sink) {
    Read(dir, withDetails)->Report(sink);
  }
  // Threads for reading ahead; null where the system offers none.
  virtual ThreadKit* Threads() { return nullptr; }
  virtual ReadAheadLimits Limits() { return {}; }

  virtual VersionStrings ReadVersion() = 0;
  // Capacity of the volume holding path and the space free for the caller;
  // false when the query fails.
  virtual bool GetDiskSpace(const std::string& path, DiskSpace& space) = 0;
  virtual LocaleSettings ReadLocale() = 0;
  // Milliseconds from an arbitrary start, never going back: the pace of the
  // progress line.
  virtual std::uint64_t Milliseconds() = 0;
  // The present moment in local time, which file ages count back from.
  virtual TDateTime Now() = 0;

  // Reads and writes every text as UTF-8 from now on, where the system's own
  // code page is another: names, command line, environment, messages.
  virtual void UseUtf8() {}

  virtual OutputSink& StandardOutput() = 0;
  // Standard error, written line by line: where a scan that goes on past a
  // directory reports it, and, where FailuresToStandardError, every failure.
  virtual OutputSink& StandardError() = 0;
  // Whether a failure that ends the run is reported on standard error (the
  // POSIX convention) rather than with the output (Windows).
  virtual bool FailuresToStandardError() const = 0;
  // The language of the failure messages: one the output can carry.
  virtual Language MessageLanguage() = 0;
  // A fixed message (UTF-8 in the source) in the system's text encoding.
  virtual std::string FromUtf8(std::string_view text) = 0;
};

// The platform this program was built for.
std::unique_ptr<Platform> MakePlatform(int argc, char** argv);

}  // namespace tvx
