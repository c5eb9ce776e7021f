// Texts between the system's UTF-16 and the program's 8-bit texts, in the
// output's code page: the ANSI code page, or UTF-8 under /UTF8.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace tvx {

class TextCodec {
 public:
  void UseUtf8() { utf8_ = true; }
  bool IsUtf8() const { return utf8_; }
  // UTF-8, names with a lone surrogate in WTF-8: exact, though not UTF-8.
  void UseWtf8() { utf8_ = wtf8_ = true; }

  std::wstring ToWide(std::string_view text) const;
  // Appends text; false when a character could not be written exactly: "?"
  // stands in for it, never a look-alike that would name another file.
  bool AppendExact(std::wstring_view text, std::string& out) const;
  // For texts that name no file (paths typed by the user, settings): the
  // system's usual conversion.
  std::string FromWide(std::wstring_view text) const;

 private:
  bool utf8_ = false;
  bool wtf8_ = false;
};

// A fixed text in UTF-8 in the ANSI code page, by the system's usual
// conversion; the text unchanged where it cannot be converted.
std::string AnsiFromUtf8(std::string_view text);

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
