// The options the program knows, in one table, and reading their values:
// pure routines, tested on every platform.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

// An option with a value, as typed ("/M:*.txt") and its value ("*.txt").
struct SwitchValue {
  std::string Typed;
  std::string Value;
};

// The option's name in a parameter: what comes before the first ":" or "=".
std::string_view SwitchName(std::string_view param);

// Every value of an option, in the order typed, from the parameters after
// the directory (position 3 on). The value follows ":" or "="; names ignore
// ASCII letter case.
std::vector<SwitchValue> SwitchValues(const std::vector<std::string>& params,
                                      std::initializer_list<std::string_view> spellings);

// Whether a parameter is one of the options the program knows, by its name.
bool IsKnownSwitch(std::string_view param);

// The first parameter from position 3 on that begins with "/" and names no
// option; empty when there is none.
std::string FirstUnknownOption(const std::vector<std::string>& params);

// The parameters from position 3 on that are no option at all.
std::vector<std::string> UnexpectedParameters(const std::vector<std::string>& params);

// The first parameter from position 3 on that names an option that takes a
// value but gives none ("/M" alone); empty when there is none.
std::string FirstWithoutValue(const std::vector<std::string>& params);

// Splits a value at ";" (several patterns in one option); empty pieces stay,
// so that the caller can refuse them.
std::vector<std::string> SplitList(std::string_view value);

}  // namespace tvx
