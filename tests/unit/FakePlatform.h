// An in-memory platform for unit tests: a scripted directory tree in a fixed
// order, either path syntax, scripted failures, and counters of what the
// logic asked for.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/PosixThreads.h"
#include "text/Failure.h"

namespace tvx::test {

struct FakeEntry {
  std::string Name;
  bool IsDir = false;
  bool IsLink = false;
  std::uint64_t Size = 0;
  TDateTime Time = 0;
  bool Inexact = false;
  bool Hidden = false;
  bool ReadOnly = false;
  std::string LongName;                        // when Name is a short name
  std::int32_t UtcOffset = kUnknownUtcOffset;  // as a reader tells it beside Time
  StorageFacts Storage;                        // told once storage is asked
};

class CaptureSink : public OutputSink {
 public:
  bool IsInteractive() const override { return interactive; }
  std::size_t TerminalColumns() const override { return columns; }
  void Write(const char* data, std::size_t size) override {
    ++writes;
    if (failWithCode != 0) throw OutputFailure(failWithCode);
    text.append(data, size);
  }
  void Close() override {
    ++closes;
    if (closeFailure != 0) throw OutputFailure(closeFailure);
  }
  void SetInterruptText(std::string_view bytes) override {
    interrupts += "[" + std::string(bytes) + "]";
  }
  std::string text;
  int closes = 0;
  int closeFailure = 0;    // what a late failure at the close is
  std::string interrupts;  // each text an interruption would have written, in turn
  bool interactive = false;
  std::size_t columns = 0;  // a terminal's width; 0 for a file
  int writes = 0;
  int failWithCode = 0;
};

// The POSIX layer's threads, counted; when slow, every read seems to wait,
// so that the readers grow.
class TestThreadKit : public ThreadKit {
 public:
  std::unique_ptr<Mutex> NewMutex() override { return real.NewMutex(); }
  std::unique_ptr<Condition> NewCondition() override { return real.NewCondition(); }
  std::unique_ptr<Thread> Start(std::function<void()> body) override {
    ++started;
    return real.Start(std::move(body));
  }
  long Waits() override { return slow ? (waits += 2) : 0; }
  PosixThreadKit real;
  std::atomic<int> started{0};
  bool slow = false;
  thread_local static inline long waits = 0;
};

class FakePlatform : public Platform {
 public:
  explicit FakePlatform(PathStyle style = PathStyle::Posix)
      : style_(style), cwd_(style == PathStyle::Posix ? "/work" : "C:\\work") {}

  // Directories are keyed by their full path ending in the separator.
  void AddDir(const std::string& dir, std::vector<FakeEntry> entries) {
    tree[dir] = std::move(entries);
  }

  PathStyle Style() const override { return style_; }
  const CodePage& Code() const override { return code; }
  std::string_view LineBreak() const override { return style_ == PathStyle::Posix ? "\n" : "\r\n"; }
  std::vector<std::string> Parameters() override { return params; }
  std::vector<std::string> Environment() override {
    ++environmentReads;
    return environment;
  }
  bool SameTextIgnoringCase(std::string_view a, std::string_view b) override {
    return EqualIgnoringAsciiCase(a, b);
  }
  std::string CurrentDirectory() override { return cwd_; }
  std::string FullPath(const std::string& path) override {
    return LexicalFullPath(path, cwd_, style_, code);
  }
  bool DirectoryExists(const std::string& path) override {
    return tree.count(WithSeparator(FullPath(path), style_, code)) > 0;
  }
  // Counts the handles open, as a system counts descriptors.
  struct Handle : DirHandle {
    Handle(FakePlatform& owner, std::string dir) : platform(owner), path(std::move(dir)) {
      std::lock_guard lock(platform.mutex);
      platform.maxOpen = std::max(platform.maxOpen, ++platform.open);
    }
    ~Handle() override {
      std::lock_guard lock(platform.mutex);
      --platform.open;
    }
    FakePlatform& platform;
    std::string path;
  };
  struct Listing : DirListing {
    std::vector<FakeEntry> entries;
    int failure = 0;
    bool partial = true;  // with a failure: one entry reported before it
    bool withDetails = false;
    bool storage = false;
    std::size_t Count() const override { return entries.size(); }
    bool HasSubdirectories() const override {
      return std::any_of(entries.begin(), entries.end(),
                         [](const FakeEntry& e) { return e.IsDir; });
    }
    void Deliver(EntrySink& sink) override {
      if (failure != 0) {
        if (partial) sink.Add(RawEntry{"read before the failure"});
        throw ReadFailure(failure);
      }
      for (const FakeEntry& e : entries) {
        RawEntry raw;
        raw.Name = e.Name;
        raw.IsDir = e.IsDir;
        raw.IsLink = e.IsLink;
        raw.Inexact = e.Inexact;
        raw.Hidden = e.Hidden;
        raw.ReadOnly = e.ReadOnly;
        raw.LongName = e.LongName;
        raw.Size = withDetails ? e.Size : 0;
        raw.DateTime = withDetails ? e.Time : 0;
        raw.UtcOffset = withDetails ? e.UtcOffset : kUnknownUtcOffset;
        if (storage) raw.Storage = e.Storage;
        sink.Add(raw);
      }
    }
  };
  std::unique_ptr<DirHandle> EnterRoot(const std::string& dir) override { return EnterPath(dir); }
  // A subdirectory's full path is its parent's and its name.
  std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name) override {
    return EnterPath(static_cast<Handle&>(parent).path + std::string(name) + Separator(style_));
  }
  std::unique_ptr<DirHandle> EnterPath(const std::string& dir) {
    std::unique_lock lock(mutex);
    entered.push_back(dir);
    if (auto it = enterFailures.find(dir); it != enterFailures.end()) throw IoFailure(it->second);
    // Removed, renamed or made unreadable once it was first entered.
    if (auto it = reenterFailures.find(dir);
        it != reenterFailures.end() && std::count(entered.begin(), entered.end(), dir) > 1) {
      throw IoFailure(it->second);
    }
    if (maxHandles > 0 && open >= maxHandles) throw ShortageFailure(4);
    lock.unlock();
    return std::make_unique<Handle>(*this, dir);
  }
  std::unique_ptr<DirListing> Read(DirHandle& handle, bool withDetails) override {
    const std::string& dir = static_cast<Handle&>(handle).path;
    auto listing = std::make_unique<Listing>();
    listing->withDetails = withDetails;
    listing->storage = storageAsked;
    if (onRead) onRead(dir);
    std::lock_guard lock(mutex);
    if (auto it = allocFailures.find(dir);
        it != allocFailures.end() && std::this_thread::get_id() != walkThread) {
      throw std::bad_alloc();
    }
    reads.push_back(dir);
    // Only the walk's own reads may look at the output it writes.
    if (!threads) outputAtRead.push_back(out.text);
    if (auto it = readFailures.find(dir); it != readFailures.end()) {
      listing->failure = it->second;
      listing->partial = !readsFailAtOnce;
      return listing;
    }
    if (withDetails) ++detailedReads;
    if (auto it = tree.find(dir); it != tree.end()) listing->entries = it->second;
    return listing;
  }
  void AskStorage() override { storageAsked = true; }
  StorageFacts StorageOf(const std::string& dir) override {
    const auto it = storageOf.find(dir);
    return storageAsked && it != storageOf.end() ? it->second : StorageFacts{};
  }
  ThreadKit* Threads() override { return threads; }
  ReadAheadLimits Limits() override { return limits; }
  VersionStrings ReadVersion() override { return version; }
  bool GetDiskSpace(const std::string&, DiskSpace& space) override {
    if (!diskKnown) return false;
    space = disk;
    return true;
  }
  LocaleSettings ReadLocale() override {
    ++localeReads;
    return locale;
  }
  // Each reading of the clock moves it on by clockStep.
  std::uint64_t Milliseconds() override { return clock += clockStep; }
  TDateTime Now() override { return now; }
  int UtcOffsetAt(TDateTime local) override { return utcOffset(local); }
  void UseUtf8() override {
    ++utf8Switches;
    if (!utf8Params.empty()) params = utf8Params;
  }
  bool UseConsoleCodePage() override {
    if (consoleParams.empty()) return false;
    params = consoleParams;
    return true;
  }
  OutputSink& StandardOutput() override { return out; }
  OutputSink& StandardError() override { return err; }
  Language MessageLanguage() override { return language; }
  std::string FromUtf8(std::string_view text) override { return "<" + std::string(text) + ">"; }

  std::map<std::string, std::vector<FakeEntry>> tree;
  std::map<std::string, int> enterFailures, readFailures;
  // Storage facts: told only once asked, of the scanned directory by its full path.
  bool storageAsked = false;
  std::map<std::string, StorageFacts> storageOf;
  bool readsFailAtOnce = false;  // as the systems' reads do: nothing reported
  // Directories that fail every entering after the first.
  std::map<std::string, int> reenterFailures;
  // Directories whose reads run out of memory, but on walkThread.
  std::set<std::string> allocFailures;
  std::thread::id walkThread;
  std::vector<std::string> params;
  std::vector<std::string> utf8Params;     // what the command line reads as after UseUtf8
  std::vector<std::string> consoleParams;  // after UseConsoleCodePage; none: it changes nothing
  int utf8Switches = 0;
  std::vector<std::string> environment;
  // Guards what readers on other threads write: entered, reads, open.
  // A platform is copied only before it is used: a copy gets a lock of its own.
  struct FreshMutex : std::mutex {
    FreshMutex() = default;
    FreshMutex(const FreshMutex&) : std::mutex() {}
    FreshMutex& operator=(const FreshMutex&) { return *this; }
  };
  FreshMutex mutex;
  std::vector<std::string> entered, reads;
  std::vector<std::string> outputAtRead;  // what standard output held at each read
  // Handles open now and at most; with maxHandles, entering past it raises
  // ShortageFailure as a system out of descriptors does.
  int open = 0, maxOpen = 0, maxHandles = 0;
  ThreadKit* threads = nullptr;  // none: the walk reads alone
  ReadAheadLimits limits;
  std::function<void(const std::string&)> onRead;  // called on the reading thread
  int detailedReads = 0, environmentReads = 0, localeReads = 0;
  VersionStrings version{"1.02", "(C) us", "tests"};
  DiskSpace disk{};
  bool diskKnown = true;
  LocaleSettings locale;
  std::uint64_t clock = 0, clockStep = 0;
  TDateTime now = MakeDateTime(2026, 12, 7, 12, 0, 0);
  // Seconds east of UTC at a local time: UTC unless a test sets a zone.
  std::function<int(TDateTime)> utcOffset = [](TDateTime) { return 0; };
  CodePage code;
  CaptureSink out, err;
  Language language = Language::English;

 private:
  PathStyle style_;
  std::string cwd_;
};

}  // namespace tvx::test
