#include "Win32Listing.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <memory>

#include "RealFileSystem.h"
#include "Win32Errors.h"
#include "text/WideNames.h"

namespace tvx {

namespace {

struct FindCloser {
  void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

// Starts an enumeration of pattern; null when it cannot be started.
FindHandle StartFind(const std::wstring& pattern, WIN32_FIND_DATAW& data) {
  // Skipping the short names and fetching in larger batches makes big
  // directories faster; systems before Windows 7 refuse both flags.
  HANDLE handle = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    handle = FindFirstFileW(pattern.c_str(), &data);
  }
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return FindHandle(handle);
}

std::int64_t Ticks(const FILETIME& time) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(time.dwHighDateTime) << 32 |
                                   time.dwLowDateTime);
}

// offset: the seconds east of UTC the conversion applied, so that the
// records can give the instant back.
TDateTime ToLocalDateTime(const FILETIME& utc, std::int32_t& offset) {
  FILETIME local;
  SYSTEMTIME parts;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts)) return 0;
  offset = static_cast<std::int32_t>((Ticks(local) - Ticks(utc)) / 10000000);
  return MakeDateTime(parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute,
                      parts.wSecond);
}

}  // namespace

std::wstring ExtendedPath(std::wstring_view fullPath) {
  if (fullPath.rfind(L"\\\\?\\", 0) == 0 || fullPath.rfind(L"\\\\.\\", 0) == 0) {
    return std::wstring(fullPath);
  }
  if (fullPath.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + std::wstring(fullPath.substr(2));
  return L"\\\\?\\" + std::wstring(fullPath);
}

std::wstring ShortName(const std::wstring& dir, std::wstring_view name) {
  // Asked by path, also while a directory is read through its handle.
  const RealFileSystem real;
  WIN32_FIND_DATAW data;
  const std::wstring path = dir + std::wstring(name);
  HANDLE handle =
      FindFirstFileExW(path.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, 0);
  if (handle == INVALID_HANDLE_VALUE) return {};
  FindClose(handle);
  return data.cAlternateFileName;
}

std::string PathForOutput(std::wstring_view path, const TextCodec& codec) {
  std::string out;
  if (codec.AppendExact(path, out)) return out;
  out.clear();
  auto narrow = [&codec](std::wstring_view text, std::string& to) {
    return codec.AppendExact(text, to);
  };
  std::string part;
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    const std::wstring_view name = path.substr(start, end - start);
    const std::wstring dir = ExtendedPath(path.substr(0, start));
    NameForOutput(
        name, narrow, [&] { return start == 0 ? std::wstring() : ShortName(dir, name); }, part);
    out += part;
    if (end < path.size()) out += '\\';
    start = end + 1;
  }
  return out;
}

namespace {

// What both the enumeration's and the handle's records tell of an entry.
struct FoundFacts {
  DWORD attributes;
  std::uint64_t size;
  FILETIME lastWrite;
};

// The names of one found entry into the listing: as the output writes it
// (its short name where the code page cannot hold it), and its long name
// beside a short one, which patterns match. name and longName are scratch
// space, kept from entry to entry.
void AddNames(const std::wstring& dir, std::wstring_view wide, const TextCodec& codec,
              Listing& listing, RawEntry& entry, std::string& name, std::string& longName) {
  bool askedShort = false;
  entry.Inexact = !NameForOutput(
      wide,
      [&codec](std::wstring_view text, std::string& out) { return codec.AppendExact(text, out); },
      [&] {
        askedShort = true;
        longName = name;
        return ShortName(dir, wide);
      },
      name);
  entry.Name = listing.names.Store(name);
  if (askedShort && longName != name) entry.LongName = listing.names.Store(longName);
}

void AddFacts(const FoundFacts& found, bool withDetails, RawEntry& entry) {
  const DWORD attributes = found.attributes;
  entry.IsDir = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry.Hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
  entry.System = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
  entry.ReadOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  entry.Archive = (attributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
  // Junctions and directory symbolic links: entering them could loop.
  entry.IsLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!withDetails) return;
  if (!entry.IsDir && !entry.IsLink) entry.Size = found.size;
  entry.DateTime = ToLocalDateTime(found.lastWrite, entry.UtcOffset);
}

// One found entry, "." and ".." left out, into the listing.
void AddEntry(const std::wstring& dir, std::wstring_view wide, const FoundFacts& found,
              bool withDetails, const TextCodec& codec, Listing& listing, std::string& name,
              std::string& longName) {
  if (wide == L"." || wide == L"..") return;
  RawEntry entry;
  AddNames(dir, wide, codec, listing, entry, name, longName);
  AddFacts(found, withDetails, entry);
  // Entered by its UTF-16 name, which the shown one may only stand in
  // for. Two inexact names may read alike: the first keeps it.
  if (entry.IsDir && !entry.IsLink) {
    listing.subdirectories.emplace(std::string(entry.Name), std::wstring(wide));
  }
  listing.Add(entry);
}

FILETIME FileTimeOf(const LARGE_INTEGER& ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks.QuadPart & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks.QuadPart) >> 32);
  return time;
}

}  // namespace

void ReadListing(const std::wstring& dir, bool withDetails, const TextCodec& codec,
                 Listing& listing) {
  WIN32_FIND_DATAW data;
  FindHandle find = StartFind(dir + L"*", data);
  if (!find) {
    // A drive's root holds no "." or "..": an empty one finds nothing.
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
      listing.failure = MapWindowsError(error);
    }
    return;
  }
  std::string name, longName;
  do {
    const std::wstring_view wide(data.cFileName, std::wcslen(data.cFileName));
    const FoundFacts found{
        data.dwFileAttributes,
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
        data.ftLastWriteTime};
    AddEntry(dir, wide, found, withDetails, codec, listing, name, longName);
  } while (FindNextFileW(find.get(), &data));
  const DWORD error = GetLastError();
  if (error != ERROR_NO_MORE_FILES) listing.failure = MapWindowsError(error);
}

void AddRecords(const std::wstring& dir, const void* records, bool withDetails,
                const TextCodec& codec, Listing& listing) {
  std::string name, longName;
  const auto* at = static_cast<const unsigned char*>(records);
  for (;;) {
    FILE_FULL_DIR_INFO record;
    std::memcpy(&record, at, offsetof(FILE_FULL_DIR_INFO, FileName));
    // The name is counted in bytes and not ended by a null.
    const std::wstring name16(
        reinterpret_cast<const wchar_t*>(at + offsetof(FILE_FULL_DIR_INFO, FileName)),
        record.FileNameLength / sizeof(wchar_t));
    const FoundFacts found{record.FileAttributes,
                           static_cast<std::uint64_t>(record.EndOfFile.QuadPart),
                           FileTimeOf(record.LastWriteTime)};
    AddEntry(dir, name16, found, withDetails, codec, listing, name, longName);
    if (record.NextEntryOffset == 0) return;
    at += record.NextEntryOffset;
  }
}

DWORD EnterError(const std::wstring& dir, bool knownDirectory) {
  HANDLE handle = CreateFileW(dir.c_str(), FILE_TRAVERSE | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_ACCESS_DENIED;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = !knownDirectory && GetFileInformationByHandle(handle, &info) != FALSE;
  CloseHandle(handle);
  if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;
  return 0;
}

namespace {

using HandleInfoCall = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// Looked up, so that systems without it still start and read by the find
// calls.
HandleInfoCall HandleInfo() {
  static const HandleInfoCall call = [] {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<HandleInfoCall>(reinterpret_cast<void (*)()>(
                        GetProcAddress(kernel, "GetFileInformationByHandleEx")))
                  : nullptr;
  }();
  return call;
}

}  // namespace

DWORD OpenToList(const std::wstring& dir, bool knownDirectory, DirectoryHandle& opened) {
  // Shared as the find calls share it, so that a folder they could not list
  // (one held open for deletion) is not listed either.
  HANDLE handle = CreateFileW(dir.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // It may still be entered though not listed: then its read says why.
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == 0) {
      return EnterError(dir, knownDirectory);
    }
    return error;
  }
  opened.reset(handle);
  BY_HANDLE_FILE_INFORMATION info{};
  // A file opens as well: a name not found among its parent's directories
  // is asked.
  if (!knownDirectory && GetFileInformationByHandle(handle, &info) != FALSE &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    opened.reset();
    return ERROR_DIRECTORY;
  }
  return 0;
}

bool ReadThroughHandle(HANDLE handle, const std::wstring& dir, bool withDetails,
                       const TextCodec& codec, Listing& listing) {
  const HandleInfoCall call = HandleInfo();
  if (!call) return false;
  // As large as the find calls' larger batches; 8-byte aligned records.
  constexpr DWORD kBytes = 64 * 1024;
  // Not cleared first: the system writes what is read.
  const auto buffer = std::make_unique_for_overwrite<ULONGLONG[]>(kBytes / sizeof(ULONGLONG));
  for (bool first = true;; first = false) {
    if (!call(handle, FileFullDirectoryInfo, buffer.get(), kBytes)) {
      const DWORD error = GetLastError();
      // Systems before Windows 8 refuse the record class.
      if (first && (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
                    error == ERROR_INVALID_FUNCTION)) {
        return false;
      }
      // A drive's root holds no "." or "..": an empty one finds nothing.
      if (error != ERROR_NO_MORE_FILES && !(first && error == ERROR_FILE_NOT_FOUND)) {
        listing.failure = MapWindowsError(error);
      }
      return true;
    }
    AddRecords(dir, buffer.get(), withDetails, codec, listing);
  }
}

}  // namespace tvx
