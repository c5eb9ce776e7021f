// Texts between the system's UTF-16 and the program's 8-bit texts, in the
// output's code page: the ANSI code page, UTF-8 under /UTF8, or the
// console's code page for a batch file (/BAT).
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace tvx {

class TextCodec {
 public:
  void UseUtf8() { page_ = CP_UTF8; }
  void UsePage(UINT page) { page_ = page; }
  bool IsUtf8() const { return page_ == CP_UTF8; }
  // Whether texts are in the ANSI code page, which the system's "A" calls take.
  bool IsAnsi() const { return page_ == CP_ACP; }
  UINT Page() const { return page_; }
  // UTF-8, names with a lone surrogate in WTF-8: exact, though not UTF-8.
  void UseWtf8() {
    page_ = CP_UTF8;
    wtf8_ = true;
  }

  std::wstring ToWide(std::string_view text) const;
  // Appends text; false when a character could not be written exactly: "?"
  // stands in for it, never a look-alike that would name another file.
  bool AppendExact(std::wstring_view text, std::string& out) const;
  // For texts that name no file (paths typed by the user, settings): the
  // system's usual conversion.
  std::string FromWide(std::wstring_view text) const;
  // A fixed text in UTF-8 in this code page, by the system's usual
  // conversion; the text unchanged where it cannot be converted.
  std::string FromUtf8(std::string_view text) const;

 private:
  UINT page_ = CP_ACP;
  bool wtf8_ = false;
};

// Calls a Win32 function of the shape "fill buf of size n, return the length
// written, or the size needed including the zero when n is too small".
template <typename Fill>
std::wstring ReadGrowing(Fill fill) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(std::max<std::size_t>(n, buffer.size() * 2));
  }
}

}  // namespace tvx
