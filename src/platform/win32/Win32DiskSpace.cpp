#include "Win32DiskSpace.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <type_traits>

#include "text/Failure.h"

namespace tvx {

namespace {

// Where GetDiskSpace's assertion failures say they come from. The unit name
// and the line numbers 309, 322 and 327 are fixed parts of the assertion
// texts users see, not positions in this file.
constexpr const char* kDriveQuerySource = "Utils";
constexpr int kVersionQueryLine = 309;
constexpr int kLoadLibraryLine = 322;
constexpr int kGetProcAddressLine = 327;

struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

// GetDiskFreeSpaceExA is looked up at run time: the first Windows 95
// releases do not have it.
bool QueryExtended(const std::string& path, DiskSpace& space) {
  using Query = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  LibraryHandle kernel(LoadLibraryA("KERNEL32.DLL"));
  if (!kernel) {
    throw AssertionFailure("LoadLibrary(\"KERNEL32.DLL\") Error!", kDriveQuerySource,
                           kLoadLibraryLine);
  }
  FARPROC entry = GetProcAddress(kernel.get(), "GetDiskFreeSpaceExA");
  if (entry == nullptr) {
    throw AssertionFailure("GetProcAddress(\"GetDiskFreeSpaceExA\") Error", kDriveQuerySource,
                           kGetProcAddressLine);
  }
  // Through the generic function type, which the compiler accepts as a
  // stand-in for any other.
  auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(entry));
  ULARGE_INTEGER freeForCaller{}, total{}, totalFree{};
  if (!query(path.c_str(), &freeForCaller, &total, &totalFree)) return false;
  space.Total = total.QuadPart;
  space.FreeForCaller = freeForCaller.QuadPart;
  return true;
}

// Under /UTF8 the path may hold any character; such runs are on systems
// that have the UTF-16 query.
bool QueryWide(const std::wstring& path, DiskSpace& space) {
  ULARGE_INTEGER freeForCaller{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(path.c_str(), &freeForCaller, &total, &totalFree)) return false;
  space.Total = total.QuadPart;
  space.FreeForCaller = freeForCaller.QuadPart;
  return true;
}

}  // namespace

bool QueryDiskSpace(const std::string& path, const TextCodec& codec, const CodePage& code,
                    DiskSpace& space) {
  OSVERSIONINFOA version{};
  static_assert(sizeof version == 148,
                "the record without service-pack fields, which every system takes");
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) {
    throw AssertionFailure("GetVersionEx() Error!", kDriveQuerySource, kVersionQueryLine);
  }
  bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  bool win9x = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  bool hasExtendedQuery = (nt && version.dwMajorVersion >= 4) ||
                          (win9x && version.dwMajorVersion > 4) ||
                          (win9x && (version.dwBuildNumber & 0xFFFF) > 1000);
  // A share is only accepted with its final separator ("\\srv\share\").
  const std::string dir = WithSeparator(path, PathStyle::Windows, code);
  if (!codec.IsAnsi()) return QueryWide(codec.ToWide(dir), space);
  if (hasExtendedQuery) return QueryExtended(dir, space);

  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(dir.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters)) {
    return false;
  }
  std::uint64_t clusterBytes = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
  space.Total = totalClusters * clusterBytes;
  space.FreeForCaller = freeClusters * clusterBytes;
  return true;
}

}  // namespace tvx
