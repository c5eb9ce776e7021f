// The tests' double-byte code page: Shift-JIS (Windows code page 932) as the
// Windows program reads it from the system, lead bytes 0x81-0x9F and 0xE0-0xFC.
#pragma once

#include <array>

#include "text/Text.h"

namespace tvx::fixtures {

inline bool IsShiftJisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

inline CodePage ShiftJis() {
  std::array<bool, 256> lead{};
  for (int b = 0; b < 256; ++b) lead[b] = IsShiftJisLead(static_cast<unsigned char>(b));
  return CodePage(lead);
}

}  // namespace tvx::fixtures
