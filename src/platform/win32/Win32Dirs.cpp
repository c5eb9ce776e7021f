#include "Win32Dirs.h"

#include <windows.h>

#include <atomic>
#include <unordered_map>

#include "RealFileSystem.h"
#include "Win32Errors.h"
#include "Win32Listing.h"
#include "text/Failure.h"

namespace tvx {

namespace {

// A directory's full path in the extended form, ending in "\", and the
// UTF-16 names of its subdirectories by the names the walk was given for
// them. Its read writes them before anyone enters a subdirectory through it.
// A handle opened again after its read was done through another (closed
// meanwhile) has none: the first entering of a name only they can find (an
// inexact one, holding "?") reads them, under the lock, and every thread
// reads them after. That is rare, so one lock serves every directory and
// none is made per directory.
//
// opened: the handle its entering opened for its read, which takes it (the
// walk reads each directory once). A directory opened again only to enter
// its subdirectories is never read: the first of them to be entered closes
// it, so that no folder is held open past its use. Threads entering
// subdirectories at once each try to take it: an exchange hands it to one.
struct Win32Dir final : DirHandle {
  ~Win32Dir() override { Take(); }

  DirectoryHandle Take() { return DirectoryHandle(opened.exchange(nullptr)); }

  std::wstring path;
  std::atomic<HANDLE> opened{nullptr};
  std::unordered_map<std::string, std::wstring> subdirectories;
  std::atomic<bool> known{false};  // subdirectories are written
};

// The lock under which a directory's names are learned a second time.
class LearningLock {
 public:
  LearningLock() { EnterCriticalSection(&Section()); }
  ~LearningLock() { LeaveCriticalSection(&Section()); }
  LearningLock(const LearningLock&) = delete;
  LearningLock& operator=(const LearningLock&) = delete;

 private:
  static CRITICAL_SECTION& Section() {
    // Made on first use, which threads may race to: the compiler guards it.
    static CRITICAL_SECTION* const section = [] {
      static CRITICAL_SECTION made;
      InitializeCriticalSection(&made);
      return &made;
    }();
    return *section;
  }
};

void Learn(Win32Dir& dir, Listing& listing) {
  dir.subdirectories = std::move(listing.subdirectories);
  dir.known.store(true, std::memory_order_release);
}

// The UTF-16 name of subdirectory name of dir; empty when its read found
// none of that name.
std::wstring StoredName(Win32Dir& dir, const std::string& name, const TextCodec& codec) {
  // A name without "?" names its directory as it is (exact, or a short name).
  if (!dir.known.load(std::memory_order_acquire) && name.find('?') != std::string::npos) {
    const LearningLock held;
    if (!dir.known.load(std::memory_order_relaxed)) {
      Listing listing;
      ReadListing(dir.path, false, codec, listing);
      Learn(dir, listing);
    }
  }
  if (!dir.known.load(std::memory_order_acquire)) return {};
  const auto found = dir.subdirectories.find(name);
  return found == dir.subdirectories.end() ? std::wstring() : found->second;
}

std::unique_ptr<DirHandle> Entered(std::wstring path, bool knownDirectory = false) {
  DirectoryHandle opened;
  const DWORD error = OpenToList(path, knownDirectory, opened);
  if (error != 0) throw IoFailure(MapWindowsError(error));
  auto dir = std::make_unique<Win32Dir>();
  dir->opened.store(opened.release());
  dir->path = std::move(path);
  return dir;
}

}  // namespace

// Each call turns the 32-bit program's file system redirection off for its
// thread, the walk's or a reader's, so that both builds list one disk.
std::unique_ptr<DirHandle> EnterWin32Root(const std::string& fullPath, const TextCodec& codec) {
  const RealFileSystem real;
  std::wstring path = ExtendedPath(codec.ToWide(fullPath));
  if (path.back() != L'\\') path += L'\\';
  return Entered(std::move(path));
}

std::unique_ptr<DirHandle> EnterWin32Child(DirHandle& parentHandle, std::string_view name,
                                           const TextCodec& codec) {
  const RealFileSystem real;
  auto& parent = static_cast<Win32Dir&>(parentHandle);
  parent.Take();
  const std::string shown(name);
  std::wstring stored = StoredName(parent, shown, codec);
  // Found by the parent's read among its directories: not asked again.
  const bool knownDirectory = !stored.empty();
  if (stored.empty()) stored = codec.ToWide(shown);
  return Entered(parent.path + stored + L'\\', knownDirectory);
}

// Through the handle its entering opened, which is closed after: no path
// to look up again, so no redirection to turn off.
std::unique_ptr<DirListing> ReadWin32Dir(DirHandle& handle, bool withDetails,
                                         const TextCodec& codec) {
  auto& dir = static_cast<Win32Dir&>(handle);
  auto read = std::make_unique<Listing>();
  DirectoryHandle opened = dir.Take();
  const bool done = opened && ReadThroughHandle(opened.get(), dir.path, withDetails, codec, *read);
  opened.reset();
  if (!done) {
    const RealFileSystem real;
    ReadListing(dir.path, withDetails, codec, *read);
  }
  Learn(dir, *read);
  return read;
}

}  // namespace tvx
