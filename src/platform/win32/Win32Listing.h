// Reading one directory on the UTF-16 calls into a listing whose names are
// already in the output's form: the part of the walk that worker threads
// share with the walk itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "WideText.h"
#include "platform/HeldListing.h"
#include "text/Locale.h"

namespace tvx {

// One directory's entries as the walk will be told them, and the UTF-16
// names of its subdirectories by the names the walk is given for them.
struct Listing : HeldListing {
  std::unordered_map<std::string, std::wstring> subdirectories;
};

// Reads dir (a full path in the extended form, ending in "\") into listing
// (empty), "." and ".." left out; when it cannot be read, failure says why.
void ReadListing(const std::wstring& dir, bool withDetails, const TextCodec& codec,
                 Listing& listing);

// "\\?\C:\..." or "\\?\UNC\server\share\..." for a full path, which lifts
// the MAX_PATH limit; a path already in a device form is kept.
std::wstring ExtendedPath(std::wstring_view fullPath);

// The short (8.3) name of the entry name in dir (a path ending in "\");
// empty when the volume keeps none or the name is one already.
std::wstring ShortName(const std::wstring& dir, std::wstring_view name);

// A full path from the system in the output's code page, each component
// exact, or its short name where the code page cannot hold it (so the path
// still names the same directory), or with "?" where neither can be written.
std::string PathForOutput(std::wstring_view path, const TextCodec& codec);

// 0 when dir can be entered, else the system's error: it must open for
// traversal, as it must to become the current directory, and be a directory.
// knownDirectory: its parent's read found it one, so that is not asked again.
DWORD EnterError(const std::wstring& dir, bool knownDirectory = false);

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using DirectoryHandle = std::unique_ptr<void, HandleCloser>;

// Opens dir to be read through one handle, as EnterError asks of it: 0 and
// opened set when it can be, else the system's error. When it can be entered
// but not listed, 0 with opened left empty: its read then says why.
DWORD OpenToList(const std::wstring& dir, bool knownDirectory, DirectoryHandle& opened);

// Reads the directory open as handle (whose path is dir) into listing;
// false, and nothing read, when the system refuses the call, so that the
// find calls read it instead.
bool ReadThroughHandle(HANDLE handle, const std::wstring& dir, bool withDetails,
                       const TextCodec& codec, Listing& listing);

// Adds to listing the entries of records, a chain of FILE_FULL_DIR_INFO as
// the system fills a buffer with them.
void AddRecords(const std::wstring& dir, const void* records, bool withDetails,
                const TextCodec& codec, Listing& listing);

}  // namespace tvx
