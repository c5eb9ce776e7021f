// Reading one directory on the UTF-16 calls into a listing whose names are
// already in the output's form: the part of the walk that worker threads
// share with the walk itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/Locale.h"
#include "WideText.h"

namespace tvx {

struct Listing {
  struct Item {
    std::size_t nameAt, nameLength;  // into names
    std::size_t wideAt, wideLength;  // into wides, for subdirectories to enter
    std::size_t longAt, longLength;  // into names: the long name a short one stands for
    bool isDir, isLink, inexact;
    bool hidden, system, readOnly, archive;
    std::uint64_t size;
    TDateTime time;
  };
  std::string names;
  std::wstring wides;
  std::vector<Item> items;
  DWORD error = 0;  // why the directory could not be read, when it could not

  std::string_view Name(const Item& item) const {
    return std::string_view(names).substr(item.nameAt, item.nameLength);
  }
  std::string_view LongName(const Item& item) const {
    return std::string_view(names).substr(item.longAt, item.longLength);
  }
  std::wstring_view Wide(const Item& item) const {
    return std::wstring_view(wides).substr(item.wideAt, item.wideLength);
  }
  void Clear() {
    names.clear();
    wides.clear();
    items.clear();
    error = 0;
  }
};

// Reads dir (a full path in the extended form, ending in "\") into listing,
// "." and ".." left out; when it cannot be read, error says why.
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
DWORD EnterError(const std::wstring& dir);

}  // namespace tvx
