// Byte-string routines shared by the front end and the commands. Texts are
// 8-bit strings in the system's code page; where that code page is multi-byte,
// no routine here looks at a trail byte as a character of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

// How the system's code page cuts text into characters: single bytes, a
// double-byte code page's lead and trail bytes, or UTF-8.
class CodePage {
 public:
  CodePage() { length_.fill(1); }
  // A double-byte code page with these lead bytes.
  explicit CodePage(const std::array<bool, 256>& lead);
  static CodePage SingleByte() { return CodePage(); }
  // UTF-8: a lead byte and one to three continuation bytes (0x80-0xBF).
  static CodePage Utf8();

  // Whether a character may take more than one byte.
  bool IsMultiByte() const { return multiByte_; }
  // Length of the character starting at text[pos]: a lead byte followed by
  // its trail bytes makes one character, any other byte stands alone. No
  // double-byte code page has trail bytes below 0x40 and UTF-8 has none below
  // 0x80, so a lead byte never swallows a following "/", ":" or digit.
  std::size_t CharLength(std::string_view text, std::size_t pos) const {
    const std::size_t length = length_[static_cast<unsigned char>(text[pos])];
    if (length == 1 || pos + length > text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i) {
      const unsigned char trail = static_cast<unsigned char>(text[pos + i]);
      if (trail < minTrail_ || trail > maxTrail_) return 1;
    }
    return length;
  }

 private:
  std::array<unsigned char, 256> length_;
  unsigned char minTrail_ = 0x40;
  unsigned char maxTrail_ = 0xFF;
  bool multiByte_ = false;
};

// Splits a value at ";" (several patterns in one option); empty pieces stay,
// so that the caller can refuse them.
std::vector<std::string> SplitList(std::string_view value);

// Positions counted from 0 here, as C++ does.
std::size_t CountChar(std::string_view text, char c);
std::string ExtractField(std::size_t index, char separator, std::string_view text);

// Replacement stops once a text grows past this size: far beyond any command
// line (a Windows one ends at 32 KiB), it keeps repeated expansion bounded.
constexpr std::size_t kMaxReplacedSize = 64u << 10;

// Replaces the pattern in text until it no longer occurs, searching again
// from the start, so text formed by a replacement is searched too. When the
// replacement contains the pattern that would never end: then each occurrence
// of the original text is replaced once, left to right. Costs nothing when
// the pattern does not occur. replacement must not point into text.
void ReplaceAllIn(std::string& text, std::string_view pattern, std::string_view replacement,
                  const CodePage& code);

// Appends text, each "\r\n" in it made lineBreak, and a lineBreak after it:
// the program's texts of several lines as the system writes lines.
void AppendLines(std::string& out, std::string_view text, std::string_view lineBreak);

// ASCII-only case mapping that leaves multi-byte characters whole.
void UpperAscii(std::string& text, const CodePage& code);
void LowerAscii(std::string& text, const CodePage& code);
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// Whether the last character (not a trail byte) is c.
bool EndsWithChar(std::string_view text, char c, const CodePage& code);

// Shows control bytes (0x01-0x1F, 0x7F) as "?", so that a name holding a line
// break cannot split one entry's line in two.
void ShowControlChars(std::string& text);
bool HasControlChars(std::string_view text);

// Text tested eight bytes at a time, for the routines that look at every
// byte of millions of paths. Each says whether any byte of the word is so.
namespace word_bytes {
inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ull;
inline std::uint64_t Load(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}
inline bool AnyHigh(std::uint64_t word) {
  return (word & kHighs) != 0;
}
// Exact: a borrow reaches only bytes above one that is below n (n <= 128).
inline bool AnyBelow(std::uint64_t word, unsigned n) {
  return ((word - kOnes * n) & ~word & kHighs) != 0;
}
inline bool AnyEqual(std::uint64_t word, unsigned char c) {
  return AnyBelow(word ^ (kOnes * c), 1);
}
}  // namespace word_bytes

// The two decimal digits of value (below 100) written at at: the fields of
// the dates and stamps that millions of rows carry, one copy each.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();
inline void PutTwoDigits(char* at, unsigned value) {
  std::memcpy(at, kDigitPairs.data() + 2 * value, 2);
}

// Where the run of ASCII bytes from the start of text ends.
std::size_t AsciiPrefixLength(std::string_view text);

// What the writers ask of a name, learned in one pass over its bytes (the
// pass that copies it out of the directory read) so that none scans it again.
// Each bit is a byte test: exact for control bytes; for the others a clear
// bit settles the question and a set one sends the writer to the full test.
struct NameFacts {
  static constexpr std::uint8_t kControl = 1;  // HasControlChars
  // A byte that some quoting rule asks quotes for, or that no Windows name holds.
  static constexpr std::uint8_t kSpecial = 2;
  static constexpr std::uint8_t kHigh = 4;  // a byte of 0x80 or above
  // Learned; else nothing may be concluded from the other bits.
  static constexpr std::uint8_t kKnown = 0x80;
  std::uint8_t Bits = 0;  // one byte: it rides in every entry read
  bool Known() const { return (Bits & kKnown) != 0; }
  bool Control() const { return (Bits & kControl) != 0; }
  bool Special() const { return (Bits & kSpecial) != 0; }
  bool Ascii() const { return (Bits & kHigh) == 0; }
};
// Each byte's facts bits, to be or-ed over a name's bytes.
const std::array<std::uint8_t, 256>& NameFactBits();
NameFacts NameFactsOf(std::string_view name);

// The command interpreter that displayed names are quoted for, so that a
// generated batch runs each name as one word whatever it holds.
enum class QuoteRule {
  // Windows' cmd: a blank or any of & ( ) [ ] { } ^ = ; ! ' + , ` ~ asks for
  // double quotes; a double quote inside is doubled.
  CommandPrompt,
  // A POSIX shell: any byte but ASCII letters and digits, _ @ % + = : , . / -
  // and bytes 0x80 and above asks for single quotes; a ' inside is '\''.
  PosixShell,
};

// The bytes that ask for quotes under rule (whole characters only: a trail
// byte never does). Name facts are learned from the same tables.
const std::array<bool, 256>& QuoteSpecialBytes(QuoteRule rule);

}  // namespace tvx
