// Letter case ignored the way Unicode's simple case folding does it, for the
// scripts names are commonly written in: pure logic, tested on every platform.
#pragma once

#include <cstddef>
#include <string_view>

namespace tvx {

// How names compare: exactly, with the ASCII letters of single-byte
// characters folded (Windows, where the system itself ignores case), or by
// simple case folding of UTF-8 characters and ASCII folding of the bytes
// that are no valid UTF-8 (POSIX with /I).
enum class LetterCase { Exact, Ascii, Unicode };

// The simple case folding of a code point (the code point itself where it
// has none): "É" gives "é", both sigmas give "σ", the Kelvin sign gives "k".
char32_t FoldCase(char32_t c);

// Bytes taken by the UTF-8 sequence at text[at]. valid is false when they
// are not one (an overlong form, a surrogate, beyond U+10FFFF, a cut
// sequence): the result is then the longest start of a sequence there, or
// 1, which one U+FFFD stands for (the usual "maximal subpart" rule).
std::size_t Utf8Step(std::string_view text, std::size_t at, bool& valid);

// The well-formed UTF-8 character at text[pos]: its code point in c and its
// length, or 0 (c untouched) when no valid sequence begins there.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& c);

// A name cut into folded units for comparing: the folded code point of each
// UTF-8 character, a byte that begins none as itself (ASCII letters folded)
// placed after every code point.
class FoldedUnits {
 public:
  explicit FoldedUnits(std::string_view text) : text_(text) {}
  bool Done() const { return pos_ == text_.size(); }
  char32_t Next();

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace tvx
