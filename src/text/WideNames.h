// Names as Windows keeps them (UTF-16) brought to 8-bit text exactly or not
// at all. Pure routines, templated on the 16-bit unit type (wchar_t on
// Windows, char16_t in the tests), so both platforms' tests cover them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tvx {

// Whether every unit is ASCII: such a name reads the same in every code page.
template <typename Unit>
bool IsAsciiName(std::basic_string_view<Unit> name) {
  unsigned high = 0;
  for (Unit u : name) high |= static_cast<unsigned>(u) & ~0x7Fu;
  return high == 0;
}

// Appends the UTF-8 form of text; a lone surrogate, which UTF-8 cannot hold,
// becomes "?" and makes the result false, or with wtf8 is written as UTF-8
// would write its code point (WTF-8), which keeps the name exact.
template <typename Unit>
bool AppendUtf8(std::basic_string_view<Unit> text, std::string& out, bool wtf8 = false) {
  bool exact = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char16_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDFFF) {
      const char32_t low = i + 1 < text.size() ? static_cast<char16_t>(text[i + 1]) : 0;
      if (c < 0xDC00 && low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else if (!wtf8) {
        out += '?';
        exact = false;
        continue;
      }
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return exact;
}

// The 8-bit form of a name in out. narrow(text, out) appends text in the
// output code page and says whether it did so exactly (a character it could
// not write is "?", and no look-alike stands in for one). A name that cannot
// be written exactly is replaced by its short name, which names the same
// file, when there is one that can be; shortName() gives it (empty when the
// volume keeps none) and is asked only then. Otherwise out holds the name
// with "?" and the result is false. ASCII names cost no call.
template <typename Unit, typename Narrow, typename ShortName>
bool NameForOutput(std::basic_string_view<Unit> name, Narrow&& narrow, ShortName&& shortName,
                   std::string& out) {
  out.clear();
  if (IsAsciiName(name)) {
    out.assign(name.begin(), name.end());
    return true;
  }
  if (narrow(name, out)) return true;
  const std::basic_string<Unit> alternative = shortName();
  if (alternative.empty() || alternative == name) return false;
  std::string shortText;
  if (!narrow(std::basic_string_view<Unit>(alternative), shortText)) return false;
  out.swap(shortText);
  return true;
}

}  // namespace tvx
