// The choice a command line makes, read through the option table.
#pragma once

#include <string>
#include <vector>

#include "cli/OptionTable.h"

namespace tvx::test {

inline Choice ChoiceOf(const std::vector<std::string>& params, TDateTime now, PathStyle style,
                       const CodePage& code) {
  ListOptions options;
  ReadOptions(params, {now, style, code, [](std::string_view) { return std::string(); }}, options);
  return options.Chosen;
}

}  // namespace tvx::test
