// Parameter cutting and switch reading on arbitrary command lines.
#include <cstdlib>

#include "FuzzInput.h"
#include "text/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> params = tvx::CutParameters(line);
  std::size_t total = 0;
  for (const std::string& p : params) {
    // Counting stops at the first empty parameter, and cutting only removes bytes.
    if (p.empty()) std::abort();
    total += p.size();
  }
  if (total > size) std::abort();
  std::size_t at = tvx::FindSwitch(params, {"/R", "/RECURSIVE"});
  if (at > params.size()) std::abort();
  tvx::LookupValue(params, "/P", [](std::string_view a, std::string_view b) { return a == b; });
  return 0;
}
