// Reading one directory on the UTF-16 calls into a listing whose names are
// already in the output's form: the part of the walk that worker threads
// share with the walk itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Locale.h"
#include "WideText.h"

namespace tvx {

struct Listing {
  struct Item {
    std::size_t nameAt, nameLength;  // into names
    std::size_t wideAt, wideLength;  // into wides, for subdirectories to enter
    bool isDir, isLink, inexact;
    std::uint64_t size;
    TDateTime time;
  };
  std::string names;
  std::wstring wides;
  std::vector<Item> items;

  std::string_view Name(const Item& item) const {
    return std::string_view(names).substr(item.nameAt, item.nameLength);
  }
  std::wstring_view Wide(const Item& item) const {
    return std::wstring_view(wides).substr(item.wideAt, item.wideLength);
  }
  void Clear() {
    names.clear();
    wides.clear();
    items.clear();
  }
};

// Reads dir (a full path in the extended form, ending in "\") into listing,
// "." and ".." left out; nothing when it cannot be read.
void ReadListing(const std::wstring& dir, bool withDetails, const TextCodec& codec,
                 Listing& listing);

// 0 when dir can be entered, else the system's error: it must open for
// traversal, as it must to become the current directory, and be a directory.
DWORD EnterError(const std::wstring& dir);

}  // namespace tvx
