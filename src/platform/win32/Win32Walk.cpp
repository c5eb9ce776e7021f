#include "Win32Walk.h"

#include <cwchar>

#include "Failure.h"
#include "WideNames.h"

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

// The short (8.3) name of an entry; empty when the volume keeps none or the
// name is one already.
std::wstring ShortName(const std::wstring& dir, std::wstring_view name) {
  WIN32_FIND_DATAW data;
  const std::wstring path = dir + std::wstring(name);
  HANDLE handle =
      FindFirstFileExW(path.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, 0);
  if (handle == INVALID_HANDLE_VALUE) return {};
  FindClose(handle);
  return data.cAlternateFileName;
}

// Raises the system's error when dir cannot be entered: it must open for
// traversal, as it must to become the current directory, and be a directory.
void CheckEnterable(const std::wstring& dir) {
  HANDLE handle = CreateFileW(dir.c_str(), FILE_TRAVERSE | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw IoFailure(static_cast<int>(GetLastError()));
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != FALSE;
  CloseHandle(handle);
  if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    throw IoFailure(ERROR_DIRECTORY);
  }
}

TDateTime ToLocalDateTime(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME parts;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts)) return 0;
  return MakeDateTime(parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute,
                      parts.wSecond);
}

bool IsDotOrDotDot(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

}  // namespace

std::wstring ExtendedPath(std::wstring_view fullPath) {
  if (fullPath.rfind(L"\\\\?\\", 0) == 0 || fullPath.rfind(L"\\\\.\\", 0) == 0) {
    return std::wstring(fullPath);
  }
  if (fullPath.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + std::wstring(fullPath.substr(2));
  return L"\\\\?\\" + std::wstring(fullPath);
}

std::unique_ptr<DirHandle> Win32Walk::EnterRoot(const std::string& fullPath) {
  auto dir = std::make_unique<Win32Dir>();
  dir->path = ExtendedPath(codec_.ToWide(fullPath));
  if (dir->path.empty() || dir->path.back() != L'\\') dir->path += L'\\';
  CheckEnterable(dir->path);
  return dir;
}

std::unique_ptr<DirHandle> Win32Walk::Enter(DirHandle& parentHandle, std::string_view name) {
  auto& parent = static_cast<Win32Dir&>(parentHandle);
  auto& subdirectories = parent.subdirectories;
  // The scan enters them in the order they were read: the next one is it.
  std::size_t found = parent.nextSubdirectory;
  if (found >= subdirectories.size() || subdirectories[found].name != name) {
    found = 0;
    while (found < subdirectories.size() && subdirectories[found].name != name) ++found;
  }
  auto dir = std::make_unique<Win32Dir>();
  if (found < subdirectories.size()) {
    dir->path = parent.path + subdirectories[found].wide + L'\\';
    parent.nextSubdirectory = found + 1;
  } else {
    dir->path = parent.path + codec_.ToWide(name) + L'\\';
  }
  CheckEnterable(dir->path);
  return dir;
}

void Win32Walk::ReadDirectory(DirHandle& handle, bool withDetails, EntrySink& sink) {
  auto& dir = static_cast<Win32Dir&>(handle);
  dir.subdirectories.clear();
  dir.nextSubdirectory = 0;
  WIN32_FIND_DATAW data;
  FindHandle find = StartFind(dir.path + L"*", data);
  if (!find) return;
  auto narrow = [this](std::wstring_view text, std::string& out) {
    return codec_.AppendExact(text, out);
  };
  do {
    if (IsDotOrDotDot(data.cFileName)) continue;
    const std::wstring_view wide(data.cFileName, std::wcslen(data.cFileName));
    RawEntry entry;
    entry.Inexact = !NameForOutput(
        wide, narrow, [&] { return ShortName(dir.path, wide); }, name_);
    entry.Name = name_;
    entry.IsDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // Junctions and directory symbolic links: entering them could loop.
    entry.IsLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (withDetails) {
      if (!entry.IsDir) {
        entry.Size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      }
      entry.DateTime = ToLocalDateTime(data.ftLastWriteTime);
    }
    if (entry.IsDir && !entry.IsLink) dir.subdirectories.push_back({name_, std::wstring(wide)});
    sink.Add(entry);
  } while (FindNextFileW(find.get(), &data));
}

}  // namespace tvx
