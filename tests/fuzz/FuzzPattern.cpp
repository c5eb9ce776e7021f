// Wildcard matching against a plain table-filling matcher over the same
// characters, in every code page and both letter-case rules.
#include <cstdlib>
#include <vector>

#include "FuzzInput.h"
#include "ShiftJis.h"
#include "text/Pattern.h"

namespace {

std::vector<std::string_view> Characters(std::string_view text, const tvx::CodePage& code) {
  std::vector<std::string_view> chars;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = code.CharLength(text, i);
    chars.push_back(text.substr(i, length));
    i += length;
  }
  return chars;
}

bool Same(std::string_view p, std::string_view n, bool ignoreCase) {
  if (p.size() != n.size()) return false;
  if (!ignoreCase || p.size() != 1) return p == n;
  std::string a(p), b(n);
  tvx::UpperAscii(a, tvx::CodePage());
  tvx::UpperAscii(b, tvx::CodePage());
  return a == b;
}

bool Reference(std::string_view pattern, std::string_view name, const tvx::CodePage& code,
               bool ignoreCase) {
  if (pattern == "*.*") return true;
  const auto p = Characters(pattern, code), n = Characters(name, code);
  // can[i][j]: the first i pattern characters match the first j name characters.
  std::vector<std::vector<char>> can(p.size() + 1, std::vector<char>(n.size() + 1, 0));
  can[0][0] = 1;
  for (std::size_t i = 1; i <= p.size(); ++i) {
    const bool star = p[i - 1] == "*", one = p[i - 1] == "?";
    can[i][0] = star && can[i - 1][0];
    for (std::size_t j = 1; j <= n.size(); ++j) {
      if (star) {
        can[i][j] = can[i - 1][j] || can[i][j - 1];
      } else {
        can[i][j] = can[i - 1][j - 1] && (one || Same(p[i - 1], n[j - 1], ignoreCase));
      }
    }
  }
  return can[p.size()][n.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tvx::fuzz::Input in(data, size);
  const std::uint8_t mode = in.Byte();
  const std::string pattern = in.Next().substr(0, 200);
  const std::string name = in.Next().substr(0, 200);
  const tvx::CodePage code = (mode & 3) == 1   ? tvx::fixtures::ShiftJis()
                             : (mode & 3) == 2 ? tvx::CodePage::Utf8()
                                               : tvx::CodePage::SingleByte();
  const bool ignoreCase = (mode & 4) != 0;
  const tvx::LetterCase rule = ignoreCase ? tvx::LetterCase::Ascii : tvx::LetterCase::Exact;
  if (tvx::MatchesPattern(pattern, name, code, rule) != Reference(pattern, name, code, ignoreCase))
    std::abort();
  return 0;
}
