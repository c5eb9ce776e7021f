#include "Width.h"

#include <algorithm>
#include <iterator>

namespace tvx {

namespace {

struct Range {
  char32_t first, last;
};

// Combining marks and the characters that join or mark others: no column.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},   {0x05BF, 0x05C7}, {0x0610, 0x061A},
    {0x064B, 0x065F}, {0x0670, 0x0670}, {0x06D6, 0x06ED},   {0x0E31, 0x0E31}, {0x0E34, 0x0E3A},
    {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},   {0x200B, 0x200F}, {0x202A, 0x202E},
    {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302F},   {0x3099, 0x309A}, {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// East Asian wide and full-width characters: two columns.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x18CFF},
    {0x1B000, 0x1B2FF}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool In(const Range (&ranges)[N], char32_t c) {
  const auto after =
      std::upper_bound(std::begin(ranges), std::end(ranges), c,
                       [](char32_t value, const Range& r) { return value < r.first; });
  return after != std::begin(ranges) && c <= std::prev(after)->last;
}

// The code point of a whole UTF-8 character of length bytes.
char32_t Decode(std::string_view text, std::size_t pos, std::size_t length) {
  static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t c = static_cast<unsigned char>(text[pos]) & kLeadBits[length];
  for (std::size_t i = 1; i < length; ++i)
    c = (c << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  return c;
}

// UTF-8 is the one code page with characters of three bytes.
bool IsUtf8(const CodePage& code) {
  return code.CharLength("\xE3\x81\x82", 0) == 3;
}

}  // namespace

std::size_t CodePointWidth(char32_t c) {
  if (In(kZeroWidth, c)) return 0;
  return In(kWide, c) ? 2 : 1;
}

std::size_t DisplayWidth(std::string_view text, const CodePage& code) {
  if (!IsUtf8(code)) return text.size();
  // Most names are ASCII throughout: a column a byte, with no decoding.
  std::size_t pos = AsciiPrefixLength(text);
  std::size_t columns = pos;
  while (pos < text.size()) {
    const std::size_t length = code.CharLength(text, pos);
    columns += length == 1 ? 1 : CodePointWidth(Decode(text, pos, length));
    pos += length;
  }
  return columns;
}

}  // namespace tvx
