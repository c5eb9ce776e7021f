// Environment references and text replacement: must end, and stay bounded,
// whatever the text, the variables and the code page.
#include <cstdlib>
#include <vector>

#include "CommandLine.h"
#include "FuzzInput.h"
#include "Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tvx::fuzz::Input in(data, size);
  const tvx::CodePage code =
      in.Byte() & 1 ? tvx::CodePage::ShiftJis() : tvx::CodePage::SingleByte();
  const std::string text = in.Next();
  const std::string pattern = in.Next();
  const std::string replacement = in.Next();
  std::vector<std::string> env;
  for (std::string line = in.Next(); !line.empty(); line = in.Next()) env.push_back(line);

  std::string replaced = tvx::ReplaceAll(pattern, replacement, text, code);
  if (replaced.size() > (1u << 20) + text.size() + replacement.size()) std::abort();

  auto getEnv = [&](std::string_view name) {
    return tvx::LookupValue(env, name, [](std::string_view a, std::string_view b) {
      return tvx::EqualIgnoringAsciiCase(a, b);
    });
  };
  tvx::ExpandEnvRefs(text, getEnv, code);
  return 0;
}
