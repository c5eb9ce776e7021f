#include "Win32Walk.h"

#include "Failure.h"
#include "RealFileSystem.h"

namespace tvx {

namespace {

void CheckEnterable(const std::wstring& dir) {
  const DWORD error = EnterError(dir);
  if (error != 0) throw IoFailure(static_cast<int>(error));
}

// The index of the subdirectory name among those parent's read reported;
// their count when it is none of them.
std::size_t FindSubdirectory(Win32Dir& parent, std::string_view name) {
  const auto& subdirectories = parent.subdirectories;
  return parent.subdirectoryIndex.Find(
      name, parent.nextSubdirectory, subdirectories.size(),
      [&subdirectories](std::size_t i) { return std::string_view(subdirectories[i].name); });
}

}  // namespace

// The walk's thread turns redirection off for each of its reads (the
// read-ahead workers do for their whole life), so both builds list one disk.
std::unique_ptr<DirHandle> Win32Walk::EnterRoot(const std::string& fullPath) {
  const RealFileSystem real;
  auto dir = std::make_unique<Win32Dir>();
  dir->path = ExtendedPath(codec_.ToWide(fullPath));
  if (dir->path.back() != L'\\') dir->path += L'\\';
  CheckEnterable(dir->path);
  return dir;
}

std::unique_ptr<DirHandle> Win32Walk::Enter(DirHandle& parentHandle, std::string_view name) {
  const RealFileSystem real;
  auto& parent = static_cast<Win32Dir&>(parentHandle);
  const std::size_t found = FindSubdirectory(parent, name);
  auto dir = std::make_unique<Win32Dir>();
  dir->level = parent.level + 1;
  if (found == parent.subdirectories.size()) {
    dir->path = parent.path + codec_.ToWide(name) + L'\\';
    CheckEnterable(dir->path);
    return dir;
  }
  parent.nextSubdirectory = found + 1;
  // A slot is handed to the walk once, and its path with it (no worker reads
  // a path once the walk has its slot); entered again, the walk does it
  // itself.
  if (parent.job && !parent.job->paths[found].empty()) {
    ReadAhead::Slot* slot = readAhead_.Claim(*parent.job, found);
    dir->path = std::move(parent.job->paths[found]);
    if (slot && slot->enterError != ReadAhead::Slot::kReadAgain) {
      // Raised here, where a walk without workers meets it too.
      if (slot->enterError != 0) throw IoFailure(static_cast<int>(slot->enterError));
      dir->prefetchedJob = parent.job;
      dir->prefetched = slot;
      return dir;
    }
  } else {
    dir->path = parent.path + parent.subdirectories[found].wide + L'\\';
  }
  CheckEnterable(dir->path);
  return dir;
}

void Win32Walk::ReadDirectory(DirHandle& handle, bool withDetails, EntrySink& sink) {
  const RealFileSystem real;
  auto& dir = static_cast<Win32Dir&>(handle);
  const Listing* listing = &listing_;
  Listing prefetched;
  if (dir.prefetched) {
    // Taken over whole before anything can fail, so that the read-ahead's
    // budget is given back whatever happens below.
    readAhead_.Taken(*dir.prefetched);
    prefetched = std::move(dir.prefetched->listing);
    dir.prefetched->listing = Listing();
    dir.prefetched = nullptr;
    dir.prefetchedJob.reset();
    listing = &prefetched;
  } else {
    ReadListing(dir.path, withDetails, codec_, listing_);
  }
  dir.subdirectories.clear();
  dir.nextSubdirectory = 0;
  dir.CloseJob();
  if (listing->error != 0) throw ReadFailure(static_cast<int>(listing->error));
  for (const Listing::Item& item : listing->items) {
    RawEntry entry;
    entry.Name = listing->Name(item);
    entry.IsDir = item.isDir;
    entry.IsLink = item.isLink;
    entry.Inexact = item.inexact;
    entry.LongName = listing->LongName(item);
    entry.Hidden = item.hidden;
    entry.System = item.system;
    entry.ReadOnly = item.readOnly;
    entry.Archive = item.archive;
    entry.Size = item.size;
    entry.DateTime = item.time;
    // Only those the walk enters, which it does in this order.
    const std::string_view own = entry.LongName.empty() ? entry.Name : entry.LongName;
    if (item.isDir && !item.isLink && (!enters_ || enters_(own, dir.level + 1))) {
      dir.subdirectories.push_back({std::string(entry.Name), std::wstring(listing->Wide(item))});
    }
    sink.Add(entry);
  }
  if (readAheadWanted_ && dir.subdirectories.size() > 1) PostSubdirectories(dir, withDetails);
}

void Win32Walk::PostSubdirectories(Win32Dir& dir, bool withDetails) {
  std::vector<std::wstring> paths;
  paths.reserve(dir.subdirectories.size());
  for (const Win32Dir::Subdirectory& subdirectory : dir.subdirectories) {
    paths.push_back(dir.path + subdirectory.wide + L'\\');
  }
  dir.job = readAhead_.Post(std::move(paths), withDetails);
}

}  // namespace tvx
