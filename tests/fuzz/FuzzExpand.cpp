// Environment references, text replacement and LIST's macros: must end, and
// stay bounded, whatever the text, the variables and the code page; and a
// template read into steps must give back the user's text.
#include <cstdlib>
#include <vector>

#include "FuzzInput.h"
#include "ShiftJis.h"
#include "lines/list/Macros.h"
#include "text/CommandLine.h"
#include "text/Text.h"

namespace {

// One pass: the steps give back the user's text, each macro's name in its
// place, whatever the text and the code page; nothing is read twice.
void CheckTemplateSteps(const std::string& typed, const tvx::CodePage& code) {
  for (tvx::QuoteRule rule : {tvx::QuoteRule::PosixShell, tvx::QuoteRule::CommandPrompt}) {
    const tvx::LineTemplate line = tvx::LineTemplate::Whole(typed, rule, code);
    std::string back;
    for (const tvx::LineTemplate::Step& step : line.Steps()) {
      if (step.Macro >= tvx::LineTemplate::kQuoteMark) {
        back.append(line.Text(), step.Start, step.Length);
      } else {
        back.append(tvx::MacroTable()[step.Macro].Name);
      }
    }
    if (back != typed) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tvx::fuzz::Input in(data, size);
  const tvx::CodePage code =
      in.Byte() & 1 ? tvx::fixtures::ShiftJis() : tvx::CodePage::SingleByte();
  const std::string text = in.Next();
  const std::string pattern = in.Next();
  const std::string replacement = in.Next();
  std::vector<std::string> env;
  for (std::string line = in.Next(); !line.empty(); line = in.Next()) env.push_back(line);

  std::string replaced(text);
  tvx::ReplaceAllIn(replaced, pattern, replacement, code);
  if (replaced.size() > (1u << 20) + text.size() + replacement.size()) std::abort();

  auto getEnv = [&](std::string_view name) {
    return tvx::LookupValue(env, name, [](std::string_view a, std::string_view b) {
      return tvx::EqualIgnoringAsciiCase(a, b);
    });
  };
  tvx::ExpandEnvRefs(text, getEnv, code);
  CheckTemplateSteps(text, code);
  return 0;
}
