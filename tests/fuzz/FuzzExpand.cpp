// Environment references, text replacement and LIST's macros: must end, and
// stay bounded, whatever the text, the variables and the code page; and the
// macro steps must give what replacing in turn gives wherever they are taken.
#include <cstdlib>
#include <vector>

#include "CommandLine.h"
#include "FuzzInput.h"
#include "Macros.h"
#include "Output.h"
#include "Platform.h"
#include "ShiftJis.h"
#include "Text.h"

namespace {

class Capture : public tvx::OutputSink {
 public:
  bool IsInteractive() const override { return false; }
  void Write(const char* data, std::size_t size) override { text.append(data, size); }
  std::string text;
};

class Texts : public tvx::MacroSource {
 public:
  std::string_view Text(tvx::Macro macro) override { return texts[tvx::MacroIndex(macro)]; }
  std::string texts[tvx::kMacroCount];
};

// The steps, where taken, against the replace-in-turn rule.
void CheckMacroSteps(const std::string& typed, tvx::fuzz::Input& in, const tvx::CodePage& code) {
  Texts texts;
  tvx::MacroValues values;
  for (std::size_t m = 0; m < tvx::kMacroCount; ++m) {
    texts.texts[m] = in.Next();
    if (texts.texts[m].find('$') != std::string::npos) return;  // the steps are never taken
    values[m].Pieces = {texts.texts[m]};
  }
  const tvx::MacroText steps(typed);
  if (!steps.StepsExact(values)) return;
  Capture sink;
  {
    tvx::LineWriter out(sink, "");
    steps.AppendTo(out, values);
    out.EndLine();
    out.Flush();
  }
  std::string inTurn = typed;
  tvx::ReplaceMacrosInTurn(inTurn, texts, code);
  if (sink.text != inTurn) std::abort();
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

  std::string replaced = tvx::ReplaceAll(pattern, replacement, text, code);
  if (replaced.size() > (1u << 20) + text.size() + replacement.size()) std::abort();

  auto getEnv = [&](std::string_view name) {
    return tvx::LookupValue(env, name, [](std::string_view a, std::string_view b) {
      return tvx::EqualIgnoringAsciiCase(a, b);
    });
  };
  tvx::ExpandEnvRefs(text, getEnv, code);
  CheckMacroSteps(text, in, code);
  return 0;
}
