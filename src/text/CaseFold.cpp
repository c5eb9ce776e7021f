#include "CaseFold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace tvx {

namespace {

// Runs of code points that fold by one offset: every one of first..last, or
// (step 2) every other one from first, as upper and lower case alternate.
struct FoldRun {
  char32_t first, last;
  std::int32_t delta;
  std::uint8_t step;
};

// Unicode's simple case folding (status C and S) for Latin, Greek, Cyrillic,
// Armenian, Georgian, Cherokee, Glagolitic, Coptic, the letterlike and
// fullwidth forms and the Deseret-like scripts, sorted by first.
constexpr FoldRun kRuns[] = {
    {0x41, 0x5A, 32, 1},         {0xB5, 0xB5, 775, 1},        {0xC0, 0xD6, 32, 1},
    {0xD8, 0xDE, 32, 1},         {0x100, 0x12E, 1, 2},        {0x132, 0x136, 1, 2},
    {0x139, 0x147, 1, 2},        {0x14A, 0x176, 1, 2},        {0x178, 0x178, -121, 1},
    {0x179, 0x17D, 1, 2},        {0x17F, 0x17F, -268, 1},     {0x181, 0x181, 210, 1},
    {0x182, 0x184, 1, 2},        {0x186, 0x186, 206, 1},      {0x187, 0x187, 1, 1},
    {0x189, 0x18A, 205, 1},      {0x18B, 0x18B, 1, 1},        {0x18E, 0x18E, 79, 1},
    {0x18F, 0x18F, 202, 1},      {0x190, 0x190, 203, 1},      {0x191, 0x191, 1, 1},
    {0x193, 0x193, 205, 1},      {0x194, 0x194, 207, 1},      {0x196, 0x196, 211, 1},
    {0x197, 0x197, 209, 1},      {0x198, 0x198, 1, 1},        {0x19C, 0x19C, 211, 1},
    {0x19D, 0x19D, 213, 1},      {0x19F, 0x19F, 214, 1},      {0x1A0, 0x1A4, 1, 2},
    {0x1A6, 0x1A6, 218, 1},      {0x1A7, 0x1A7, 1, 1},        {0x1A9, 0x1A9, 218, 1},
    {0x1AC, 0x1AC, 1, 1},        {0x1AE, 0x1AE, 218, 1},      {0x1AF, 0x1AF, 1, 1},
    {0x1B1, 0x1B2, 217, 1},      {0x1B3, 0x1B5, 1, 2},        {0x1B7, 0x1B7, 219, 1},
    {0x1B8, 0x1B8, 1, 1},        {0x1BC, 0x1BC, 1, 1},        {0x1C4, 0x1C4, 2, 1},
    {0x1C5, 0x1C5, 1, 1},        {0x1C7, 0x1C7, 2, 1},        {0x1C8, 0x1C8, 1, 1},
    {0x1CA, 0x1CA, 2, 1},        {0x1CB, 0x1DB, 1, 2},        {0x1DE, 0x1EE, 1, 2},
    {0x1F1, 0x1F1, 2, 1},        {0x1F2, 0x1F4, 1, 2},        {0x1F6, 0x1F6, -97, 1},
    {0x1F7, 0x1F7, -56, 1},      {0x1F8, 0x21E, 1, 2},        {0x220, 0x220, -130, 1},
    {0x222, 0x232, 1, 2},        {0x23A, 0x23A, 10795, 1},    {0x23B, 0x23B, 1, 1},
    {0x23D, 0x23D, -163, 1},     {0x23E, 0x23E, 10792, 1},    {0x241, 0x241, 1, 1},
    {0x243, 0x243, -195, 1},     {0x244, 0x244, 69, 1},       {0x245, 0x245, 71, 1},
    {0x246, 0x24E, 1, 2},        {0x345, 0x345, 116, 1},      {0x370, 0x372, 1, 2},
    {0x376, 0x376, 1, 1},        {0x37F, 0x37F, 116, 1},      {0x386, 0x386, 38, 1},
    {0x388, 0x38A, 37, 1},       {0x38C, 0x38C, 64, 1},       {0x38E, 0x38F, 63, 1},
    {0x391, 0x3A1, 32, 1},       {0x3A3, 0x3AB, 32, 1},       {0x3C2, 0x3C2, 1, 1},
    {0x3CF, 0x3CF, 8, 1},        {0x3D0, 0x3D0, -30, 1},      {0x3D1, 0x3D1, -25, 1},
    {0x3D5, 0x3D5, -15, 1},      {0x3D6, 0x3D6, -22, 1},      {0x3D8, 0x3EE, 1, 2},
    {0x3F0, 0x3F0, -54, 1},      {0x3F1, 0x3F1, -48, 1},      {0x3F4, 0x3F4, -60, 1},
    {0x3F5, 0x3F5, -64, 1},      {0x3F7, 0x3F7, 1, 1},        {0x3F9, 0x3F9, -7, 1},
    {0x3FA, 0x3FA, 1, 1},        {0x3FD, 0x3FF, -130, 1},     {0x400, 0x40F, 80, 1},
    {0x410, 0x42F, 32, 1},       {0x460, 0x480, 1, 2},        {0x48A, 0x4BE, 1, 2},
    {0x4C0, 0x4C0, 15, 1},       {0x4C1, 0x4CD, 1, 2},        {0x4D0, 0x52E, 1, 2},
    {0x531, 0x556, 48, 1},       {0x10A0, 0x10C5, 7264, 1},   {0x10C7, 0x10C7, 7264, 1},
    {0x10CD, 0x10CD, 7264, 1},   {0x13F8, 0x13FD, -8, 1},     {0x1C80, 0x1C80, -6222, 1},
    {0x1C81, 0x1C81, -6221, 1},  {0x1C82, 0x1C82, -6212, 1},  {0x1C83, 0x1C84, -6210, 1},
    {0x1C85, 0x1C85, -6211, 1},  {0x1C86, 0x1C86, -6204, 1},  {0x1C87, 0x1C87, -6180, 1},
    {0x1C88, 0x1C88, 35267, 1},  {0x1C90, 0x1CBA, -3008, 1},  {0x1CBD, 0x1CBF, -3008, 1},
    {0x1E00, 0x1E94, 1, 2},      {0x1E9B, 0x1E9B, -58, 1},    {0x1E9E, 0x1E9E, -7615, 1},
    {0x1EA0, 0x1EFE, 1, 2},      {0x1F08, 0x1F0F, -8, 1},     {0x1F18, 0x1F1D, -8, 1},
    {0x1F28, 0x1F2F, -8, 1},     {0x1F38, 0x1F3F, -8, 1},     {0x1F48, 0x1F4D, -8, 1},
    {0x1F59, 0x1F5F, -8, 2},     {0x1F68, 0x1F6F, -8, 1},     {0x1F88, 0x1F8F, -8, 1},
    {0x1F98, 0x1F9F, -8, 1},     {0x1FA8, 0x1FAF, -8, 1},     {0x1FB8, 0x1FB9, -8, 1},
    {0x1FBA, 0x1FBB, -74, 1},    {0x1FBC, 0x1FBC, -9, 1},     {0x1FBE, 0x1FBE, -7173, 1},
    {0x1FC8, 0x1FCB, -86, 1},    {0x1FCC, 0x1FCC, -9, 1},     {0x1FD8, 0x1FD9, -8, 1},
    {0x1FDA, 0x1FDB, -100, 1},   {0x1FE8, 0x1FE9, -8, 1},     {0x1FEA, 0x1FEB, -112, 1},
    {0x1FEC, 0x1FEC, -7, 1},     {0x1FF8, 0x1FF9, -128, 1},   {0x1FFA, 0x1FFB, -126, 1},
    {0x1FFC, 0x1FFC, -9, 1},     {0x2126, 0x2126, -7517, 1},  {0x212A, 0x212A, -8383, 1},
    {0x212B, 0x212B, -8262, 1},  {0x2132, 0x2132, 28, 1},     {0x2160, 0x216F, 16, 1},
    {0x2183, 0x2183, 1, 1},      {0x24B6, 0x24CF, 26, 1},     {0x2C00, 0x2C2F, 48, 1},
    {0x2C60, 0x2C60, 1, 1},      {0x2C62, 0x2C62, -10743, 1}, {0x2C63, 0x2C63, -3814, 1},
    {0x2C64, 0x2C64, -10727, 1}, {0x2C67, 0x2C6B, 1, 2},      {0x2C6D, 0x2C6D, -10780, 1},
    {0x2C6E, 0x2C6E, -10749, 1}, {0x2C6F, 0x2C6F, -10783, 1}, {0x2C70, 0x2C70, -10782, 1},
    {0x2C72, 0x2C72, 1, 1},      {0x2C75, 0x2C75, 1, 1},      {0x2C7E, 0x2C7F, -10815, 1},
    {0x2C80, 0x2CE2, 1, 2},      {0x2CEB, 0x2CED, 1, 2},      {0x2CF2, 0x2CF2, 1, 1},
    {0xA640, 0xA66C, 1, 2},      {0xA680, 0xA69A, 1, 2},      {0xA722, 0xA72E, 1, 2},
    {0xA732, 0xA76E, 1, 2},      {0xA779, 0xA77B, 1, 2},      {0xA77D, 0xA77D, -35332, 1},
    {0xA77E, 0xA786, 1, 2},      {0xA78B, 0xA78B, 1, 1},      {0xA78D, 0xA78D, -42280, 1},
    {0xA790, 0xA792, 1, 2},      {0xA796, 0xA7A8, 1, 2},      {0xAB70, 0xABBF, -38864, 1},
    {0xFF21, 0xFF3A, 32, 1},     {0x10400, 0x10427, 40, 1},   {0x104B0, 0x104D3, 40, 1},
    {0x10C80, 0x10CB2, 64, 1},   {0x118A0, 0x118BF, 32, 1},   {0x1E900, 0x1E921, 34, 1},
};

constexpr bool Sorted() {
  for (std::size_t i = 1; i < std::size(kRuns); ++i) {
    if (kRuns[i].first <= kRuns[i - 1].last) return false;
  }
  return true;
}
static_assert(Sorted(), "the runs must be sorted and apart for the search");

char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return static_cast<char32_t>(FoldAscii(static_cast<char>(c)));
  const auto after =
      std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                       [](char32_t value, const FoldRun& run) { return value < run.first; });
  if (after == std::begin(kRuns)) return c;
  const FoldRun& run = *(after - 1);
  if (c > run.last || (c - run.first) % run.step != 0) return c;
  return static_cast<char32_t>(static_cast<std::int32_t>(c) + run.delta);
}

namespace {

bool InRange(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

}  // namespace

std::size_t Utf8Step(std::string_view text, std::size_t at, bool& valid) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  valid = lead < 0x80;
  if (valid) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (InRange(lead, 0xC2, 0xDF)) {
    length = 2;
  } else if (InRange(lead, 0xE0, 0xEF)) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (InRange(lead, 0xF0, 0xF4)) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 1;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) return i;
    if (!InRange(byte(i), i == 1 ? low : 0x80, i == 1 ? high : 0xBF)) return i;
  }
  valid = true;
  return length;
}

std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& c) {
  bool valid = false;
  const std::size_t length = Utf8Step(text, pos, valid);
  if (!valid) return 0;
  // The lead byte's bits, then six from each byte that follows.
  constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t value = static_cast<unsigned char>(text[pos]) & kLeadBits[length];
  for (std::size_t i = 1; i < length; ++i)
    value = (value << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  c = value;
  return length;
}

char32_t FoldedUnits::Next() {
  char32_t c = 0;
  const std::size_t length = DecodeUtf8(text_, pos_, c);
  if (length == 0) {
    // Above every code point, so a stray byte never equals a character.
    return 0x110000 + static_cast<unsigned char>(text_[pos_++]);
  }
  pos_ += length;
  return FoldCase(c);
}

}  // namespace tvx
