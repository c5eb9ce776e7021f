// Texts between the system's UTF-16 and the program's 8-bit texts, in the
// output's code page: the ANSI code page, or UTF-8 under /UTF8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tvx {

class TextCodec {
 public:
  void UseUtf8() { utf8_ = true; }
  bool IsUtf8() const { return utf8_; }

  std::wstring ToWide(std::string_view text) const;
  // Appends text; false when a character could not be written exactly: "?"
  // stands in for it, never a look-alike that would name another file.
  bool AppendExact(std::wstring_view text, std::string& out) const;
  // For texts that name no file (paths typed by the user, settings): the
  // system's usual conversion.
  std::string FromWide(std::wstring_view text) const;

 private:
  bool utf8_ = false;
};

}  // namespace tvx
