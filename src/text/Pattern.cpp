#include "Pattern.h"

namespace tvx {

namespace {

char FoldAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameChar(std::string_view a, std::string_view b, LetterCase rule) {
  if (rule == LetterCase::Unicode && (a.size() > 1 || b.size() > 1)) {
    // Folding may join characters of different lengths ("K" and the Kelvin sign).
    char32_t x = 0, y = 0;
    if (DecodeUtf8(a, 0, x) == a.size() && DecodeUtf8(b, 0, y) == b.size())
      return FoldCase(x) == FoldCase(y);
    return a == b;
  }
  if (a.size() != b.size()) return false;
  // Only single-byte characters have a letter case to ignore.
  if (rule != LetterCase::Exact && a.size() == 1) return FoldAscii(a[0]) == FoldAscii(b[0]);
  return a == b;
}

bool IsWildcard(std::string_view patternChar, char wildcard) {
  return patternChar.size() == 1 && patternChar[0] == wildcard;
}

}  // namespace

bool MatchesPattern(std::string_view pattern, std::string_view name, const CodePage& code,
                    LetterCase rule) {
  if (pattern == "*.*") return true;
  // Greedy matching that goes back only to the last "*": each "*" takes one
  // more character when what follows it fails, so the work stays bounded by
  // the product of the two lengths.
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size()) {
      const std::string_view pc = pattern.substr(p, code.CharLength(pattern, p));
      if (IsWildcard(pc, '*')) {
        p += 1;
        starP = p;
        starN = n;
        continue;
      }
      const std::string_view nc = name.substr(n, code.CharLength(name, n));
      if (IsWildcard(pc, '?') || SameChar(pc, nc, rule)) {
        p += pc.size();
        n += nc.size();
        continue;
      }
    }
    if (starP == std::string_view::npos) return false;
    starN += code.CharLength(name, starN);
    n = starN;
    p = starP;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace tvx
