// Cutting and reading the command line: pure routines, tested on every platform.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "Text.h"

namespace tvx {

// Parameters 1..N of a Windows command line (the program name, parameter 0,
// is cut off): bytes 0x01-0x20 separate, double quotes group and vanish, a
// leading "" pair is skipped, and counting stops at the first empty one.
std::vector<std::string> CutParameters(std::string_view commandLine);

// A whole number of ASCII digits into value: false for anything else,
// for none, and beyond 18 digits (which cannot overflow).
bool ParseDigits(std::string_view text, std::uint64_t& value);

// Highest position (from 1) whose whole parameter equals a spelling, ASCII
// letter case ignored; 0 when none does.
std::size_t FindSwitch(const std::vector<std::string>& params,
                       std::initializer_list<std::string_view> spellings);

using TextEquality = std::function<bool(std::string_view, std::string_view)>;

// The value after the first "=" of the first line whose name equals name;
// empty for an empty name.
std::string LookupValue(const std::vector<std::string>& lines, std::string_view name,
                        const TextEquality& equal);

// Replaces every %NAME% whose variable has a non-empty value, in one pass:
// values put in are not searched again.
std::string ExpandEnvRefs(std::string_view text,
                          const std::function<std::string(std::string_view)>& getEnv,
                          const CodePage& code);

}  // namespace tvx
