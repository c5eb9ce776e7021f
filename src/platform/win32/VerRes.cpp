#include "VerRes.h"

#include <winver.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "Win32Listing.h"

namespace tvx {

TVerRes::TVerRes(const std::string& fileName) {
  DWORD ignored = 0;
  // Size is a 16-bit field of the record, so a block of 64 KiB or more is
  // cut: the read below is then given the cut size and stays inside Data
  // (it fails or stops short). Our own resource is a few hundred bytes.
  Size = static_cast<std::uint16_t>(GetFileVersionInfoSizeA(fileName.c_str(), &ignored));
  if (Size == 0) return;

  Handle = GetModuleHandleA(nullptr);
  Data.assign(Size, '\0');
  if (!GetFileVersionInfoA(fileName.c_str(), 0, Size, Data.data())) {
    Handle = nullptr;
    return;
  }

  void* value = nullptr;
  UINT length = 0;
  // A block without a translation table names no string table we could
  // read, so it counts as no information at all.
  if (!VerQueryValueA(Data.data(), "\\VarFileInfo\\Translation", &value, &length) ||
      value == nullptr || length < sizeof(std::uint32_t)) {
    Handle = nullptr;
    return;
  }
  std::uint32_t first = 0;
  std::memcpy(&first, value, sizeof first);
  Language = static_cast<std::uint16_t>(first & 0xFFFF);
  CodePage = static_cast<std::uint16_t>(first >> 16);
  char key[16];
  std::snprintf(key, sizeof key, "%04X%04X", static_cast<unsigned>(Language),
                static_cast<unsigned>(CodePage));
  LangCharset = key;
}

std::string TVerRes::QueryString(const std::string& name) const {
  if (Handle == nullptr) return {};
  std::string path = "\\StringFileInfo\\" + LangCharset + "\\" + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(Data.data(), path.c_str(), &value, &length) || value == nullptr ||
      length == 0) {
    return {};
  }
  // length counts the terminating zero; never read past it.
  const char* text = static_cast<const char*>(value);
  return std::string(text, strnlen(text, length));
}

std::string OwnFile() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    // A full buffer means the name may have been cut (and, on old systems,
    // left without its zero): try again with more room.
    if (n < buffer.size() || buffer.size() >= (1u << 16)) {
      // The version calls take an ANSI name: where a folder's name does not
      // fit the code page, its short name still reaches the file.
      return PathForOutput(std::wstring_view(buffer.data(), n), TextCodec());
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tvx
