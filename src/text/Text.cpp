#include "Text.h"

#include <algorithm>

namespace tvx {

namespace {

// Stops a pathological pattern/replacement pair (one whose repeated
// replacement keeps re-forming the pattern) from running or growing forever.
// The budget counts the bytes each replacement rewrites and searches; far
// more than any command line or file name needs, and small enough that a
// hostile name costs each of its lines no more than a millisecond or so.
constexpr std::size_t kMaxReplacements = 100'000;
constexpr std::size_t kMaxWork = 4u << 20;

bool IsAsciiLower(char c) {
  return c >= 'a' && c <= 'z';
}
bool IsAsciiUpper(char c) {
  return c >= 'A' && c <= 'Z';
}

// First occurrence of pattern at or after from, starting on a character
// boundary; from must itself be a boundary.
std::size_t FindFrom(std::string_view text, std::string_view pattern, std::size_t from,
                     const CodePage& code) {
  if (!code.IsMultiByte()) return text.find(pattern, from);
  for (std::size_t pos = from; pos + pattern.size() <= text.size();
       pos += code.CharLength(text, pos)) {
    if (text.compare(pos, pattern.size(), pattern) == 0) return pos;
  }
  return std::string_view::npos;
}

}  // namespace

CodePage::CodePage(const std::array<bool, 256>& lead) {
  for (int b = 0; b < 256; ++b) {
    length_[b] = lead[b] ? 2 : 1;
    multiByte_ = multiByte_ || lead[b];
  }
}

CodePage CodePage::Utf8() {
  CodePage code;
  // 0xC0, 0xC1 and 0xF5-0xFF open no character in UTF-8.
  for (int b = 0xC2; b <= 0xDF; ++b) code.length_[b] = 2;
  for (int b = 0xE0; b <= 0xEF; ++b) code.length_[b] = 3;
  for (int b = 0xF0; b <= 0xF4; ++b) code.length_[b] = 4;
  code.minTrail_ = 0x80;
  code.maxTrail_ = 0xBF;
  code.multiByte_ = true;
  return code;
}

std::size_t CountChar(std::string_view text, char c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

std::vector<std::string> SplitList(std::string_view value) {
  std::vector<std::string> pieces;
  for (;;) {
    const std::size_t semicolon = value.find(';');
    pieces.emplace_back(value.substr(0, semicolon));
    if (semicolon == std::string_view::npos) return pieces;
    value.remove_prefix(semicolon + 1);
  }
}

std::string ExtractField(std::size_t index, char separator, std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) {
    std::size_t next = text.find(separator, start);
    if (next == std::string_view::npos) return {};
    start = next + 1;
  }
  std::size_t end = text.find(separator, start);
  return std::string(text.substr(start, end == std::string_view::npos ? text.npos : end - start));
}

void AppendLines(std::string& out, std::string_view text, std::string_view lineBreak) {
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    out.append(text.substr(start, end - start)).append(lineBreak);
    if (end == std::string_view::npos) return;
    start = end + 2;
  }
}

void ReplaceAllIn(std::string& result, std::string_view pattern, std::string_view replacement,
                  const CodePage& code) {
  if (pattern.empty()) return;
  std::size_t pos = FindFrom(result, pattern, 0, code);
  if (pos == std::string::npos) return;

  if (replacement.find(pattern) != std::string_view::npos) {
    // One left-to-right pass: inserted text is not searched again.
    while (pos != std::string::npos && result.size() <= kMaxReplacedSize) {
      result.replace(pos, pattern.size(), replacement);
      pos = FindFrom(result, pattern, pos + replacement.size(), code);
    }
    return;
  }

  // Searching again from the start finds nothing before pos - pattern + 1,
  // since the text there is unchanged and held no occurrence; resuming there
  // gives the same result without the quadratic rescan. Under a multi-byte
  // code page the boundaries before pos are not known, so start over.
  std::size_t work = 0;
  for (std::size_t count = 0; pos != std::string::npos; ++count) {
    work += result.size();
    if (count >= kMaxReplacements || result.size() > kMaxReplacedSize || work > kMaxWork) break;
    result.replace(pos, pattern.size(), replacement);
    std::size_t from = 0;
    if (!code.IsMultiByte() && pos + 1 > pattern.size()) from = pos + 1 - pattern.size();
    pos = FindFrom(result, pattern, from, code);
  }
}

void UpperAscii(std::string& text, const CodePage& code) {
  for (std::size_t i = 0; i < text.size(); i += code.CharLength(text, i)) {
    if (IsAsciiLower(text[i])) text[i] = static_cast<char>(text[i] - 'a' + 'A');
  }
}

void LowerAscii(std::string& text, const CodePage& code) {
  for (std::size_t i = 0; i < text.size(); i += code.CharLength(text, i)) {
    if (IsAsciiUpper(text[i])) text[i] = static_cast<char>(text[i] - 'A' + 'a');
  }
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = IsAsciiLower(a[i]) ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    char y = IsAsciiLower(b[i]) ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (x != y) return false;
  }
  return true;
}

bool EndsWithChar(std::string_view text, char c, const CodePage& code) {
  if (text.empty()) return false;
  std::size_t last = 0;
  if (code.IsMultiByte()) {
    for (std::size_t i = 0; i < text.size(); i += code.CharLength(text, i)) last = i;
  } else {
    last = text.size() - 1;
  }
  return last == text.size() - 1 && text[last] == c;
}

namespace {
bool IsControl(char c) {
  unsigned char b = static_cast<unsigned char>(c);
  return (b >= 0x01 && b <= 0x1F) || b == 0x7F;
}
}  // namespace

std::size_t AsciiPrefixLength(std::string_view text) {
  std::size_t at = 0;
  while (at + 8 <= text.size() && !word_bytes::AnyHigh(word_bytes::Load(text.data() + at))) at += 8;
  while (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80) ++at;
  return at;
}

bool HasControlChars(std::string_view text) {
  // Written so that the compiler tests many bytes at a time: this runs for
  // every name of every scan.
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  unsigned found = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned b = p[i];
    found |= static_cast<unsigned>(b - 1u < 0x1Fu) | static_cast<unsigned>(b == 0x7Fu);
  }
  return found != 0;
}

void ShowControlChars(std::string& text) {
  for (char& c : text) {
    if (IsControl(c)) c = '?';
  }
}

namespace {

// The bytes that ask for quotes under each rule. Built once: the check runs
// for every name LIST prints.
struct QuoteTables {
  std::array<bool, 256> commandPrompt{};
  std::array<bool, 256> posixShell{};
  QuoteTables() {
    for (unsigned char c : std::string_view(" &()[]{}^=;!'+,`~")) commandPrompt[c] = true;
    for (int b = 0; b < 0x80; ++b) {
      const char c = static_cast<char>(b);
      const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') ||
                        std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
      posixShell[b] = !safe;
    }
  }
};

const QuoteTables& Tables() {
  static const QuoteTables tables;
  return tables;
}

// Each byte's NameFacts bits.
struct FactTable {
  std::array<std::uint8_t, 256> bits{};
  FactTable() {
    const QuoteTables& quotes = Tables();
    for (int b = 0; b < 256; ++b) {
      const auto c = static_cast<unsigned char>(b);
      const bool control = (b >= 0x01 && b <= 0x1F) || b == 0x7F;
      const bool special =
          quotes.commandPrompt[c] || quotes.posixShell[c] ||
          std::string_view("\"*?<>|:\\").find(static_cast<char>(c)) != std::string_view::npos;
      bits[c] = static_cast<std::uint8_t>((control ? NameFacts::kControl : 0) |
                                          (special ? NameFacts::kSpecial : 0) |
                                          (b >= 0x80 ? NameFacts::kHigh : 0));
    }
  }
};

}  // namespace

const std::array<std::uint8_t, 256>& NameFactBits() {
  static const FactTable table;
  return table.bits;
}

NameFacts NameFactsOf(std::string_view name) {
  const std::array<std::uint8_t, 256>& bits = NameFactBits();
  NameFacts facts{NameFacts::kKnown};
  for (char c : name) facts.Bits |= bits[static_cast<unsigned char>(c)];
  return facts;
}

const std::array<bool, 256>& QuoteSpecialBytes(QuoteRule rule) {
  const QuoteTables& tables = Tables();
  return rule == QuoteRule::CommandPrompt ? tables.commandPrompt : tables.posixShell;
}

}  // namespace tvx
