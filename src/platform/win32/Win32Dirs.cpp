#include "Win32Dirs.h"

#include <windows.h>

#include <unordered_map>

#include "Failure.h"
#include "RealFileSystem.h"
#include "Win32Listing.h"

namespace tvx {

namespace {

// A directory's full path in the extended form, ending in "\", and, once it
// has been read, the UTF-16 names of its subdirectories by the names the
// walk was given for them. Written by its read alone, before anyone enters
// a subdirectory through it; read by any thread after.
struct Win32Dir final : DirHandle {
  std::wstring path;
  std::unordered_map<std::string, std::wstring> subdirectories;
};

class Win32DirListing final : public DirListing {
 public:
  Listing listing;

  std::size_t Count() const override { return listing.items.size(); }
  bool HasSubdirectories() const override {
    for (const Listing::Item& item : listing.items) {
      if (item.isDir && !item.isLink) return true;
    }
    return false;
  }
  void Report(EntrySink& sink) override {
    if (listing.error != 0) throw ReadFailure(static_cast<int>(listing.error));
    for (const Listing::Item& item : listing.items) {
      RawEntry entry;
      entry.Name = listing.Name(item);
      entry.IsDir = item.isDir;
      entry.IsLink = item.isLink;
      entry.Inexact = item.inexact;
      entry.LongName = listing.LongName(item);
      entry.Hidden = item.hidden;
      entry.System = item.system;
      entry.ReadOnly = item.readOnly;
      entry.Archive = item.archive;
      entry.Size = item.size;
      entry.DateTime = item.time;
      sink.Add(entry);
    }
  }
};

std::unique_ptr<DirHandle> Entered(std::wstring path) {
  const DWORD error = EnterError(path);
  if (error != 0) throw IoFailure(static_cast<int>(error));
  auto dir = std::make_unique<Win32Dir>();
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
  const auto& parent = static_cast<const Win32Dir&>(parentHandle);
  const auto found = parent.subdirectories.find(std::string(name));
  if (found != parent.subdirectories.end()) return Entered(parent.path + found->second + L'\\');
  return Entered(parent.path + codec.ToWide(name) + L'\\');
}

std::unique_ptr<DirListing> ReadWin32Dir(DirHandle& handle, bool withDetails,
                                         const TextCodec& codec) {
  const RealFileSystem real;
  auto& dir = static_cast<Win32Dir&>(handle);
  auto read = std::make_unique<Win32DirListing>();
  ReadListing(dir.path, withDetails, codec, read->listing);
  const Listing& listing = read->listing;
  dir.subdirectories.clear();
  for (const Listing::Item& item : listing.items) {
    if (item.isDir && !item.isLink) {
      // Two inexact names may read alike: the first keeps it.
      dir.subdirectories.emplace(std::string(listing.Name(item)), listing.Wide(item));
    }
  }
  return read;
}

}  // namespace tvx
