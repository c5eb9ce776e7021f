// The line template read once per run as its shell reads it, with a stack
// of the places the text opens (quotes, command substitutions, expansions),
// so that each macro's step knows the form that gives exactly its value
// there. Where the shell's reading goes beyond what is modelled here, the
// place is not guessed: the template is refused.
#include "TemplateReader.h"

#include <algorithm>
#include <utility>

#include "lines/Options.h"
#include "text/Paths.h"

namespace tvx {

using namespace template_places;

std::size_t LineTemplate::Reader::ReadSh(std::string_view all, std::size_t pos) {
  const std::size_t length = code_.CharLength(all, pos);
  const char c = all[pos];
  const bool afterDollar = std::exchange(dollarBefore_, false);
  const bool atStart = std::exchange(wordStart_, false);
  if (length > 1 || escaped_) {
    escaped_ = false;
    return Literal(pos, length);
  }
  Place place = Innermost();
  if (place == Place::Single || place == Place::AnsiC) return InQuotes(all, pos);
  if (place == Place::Comment) {
    // Its macros are written as outside quotes, as they always were.
    if (c == '$' && MacroAt(all, pos) < MacroTable().size()) return AtDollar(all, pos, false);
    if (c != '\n') return Literal(pos, 1);
    Close();
    place = Innermost();
  }
  if (c == '\\') {
    escaped_ = true;
    return Literal(pos, 1);
  }
  if (place == Place::Backquote) {
    // Its text is read twice by the shell: no value is sure there.
    if (c == '`') Close();
    const std::size_t macro = c == '$' ? MacroAt(all, pos) : MacroTable().size();
    if (macro == MacroTable().size()) return Literal(pos, 1);
    PlaceMacro(macro, pos);  // refused, but replaced in lines that are only text
    return MacroTable()[macro].Name.size();
  }
  if (c == '$') return AtDollar(all, pos, afterDollar);
  if (c == '`') {
    Open(Place::Backquote, pos);
    return Literal(pos, 1);
  }
  if (place == Place::Double) {
    if (c != '"') return Literal(pos, 1);
    Mark(pos);
    Close();
    return 1;
  }
  if (place == Place::Arithmetic) return InArithmetic(all, pos);
  if (place == Place::Parameter) return InParameter(all, pos);
  wordStart_ = atStart;
  return InBare(all, pos);
}

// Inside single quotes every character is itself; bash's "$'...'" also
// takes "\" escapes, which no value can be written for.
std::size_t LineTemplate::Reader::InQuotes(std::string_view all, std::size_t pos) {
  const char c = all[pos];
  if (c == '\'') {
    Mark(pos);
    Close();
    return 1;
  }
  if (Innermost() == Place::AnsiC && c == '\\') escaped_ = true;
  const std::size_t macro = c == '$' ? MacroAt(all, pos) : MacroTable().size();
  if (macro == MacroTable().size()) return Literal(pos, 1);
  PlaceMacro(macro, pos);
  return MacroTable()[macro].Name.size();
}

std::size_t LineTemplate::Reader::AtDollar(std::string_view all, std::size_t pos,
                                           bool afterDollar) {
  const std::size_t macro = MacroAt(all, pos);
  if (macro < MacroTable().size()) {
    // "$$SHORT" or bash's "$'...'" would join the value to the "$".
    if (afterDollar) Refuse(pos);
    PlaceMacro(macro, pos);
    return MacroTable()[macro].Name.size();
  }
  if (afterDollar) return Literal(pos, 1);  // "$$", the shell's own
  const std::string_view next = all.substr(pos + 1);
  if (next.starts_with("((")) {
    Open(Place::Arithmetic, pos);
    return Literal(pos, 3);
  }
  if (next.starts_with("(")) {
    Open(Place::Command, pos);
    Literal(pos, 2);
    ++word_;
    wordStart_ = true;
    wordBegin_ = pos + 2;
    return 2;
  }
  if (next.starts_with("{")) {
    Open(Place::Parameter, pos);
    return Literal(pos, 2);
  }
  if (next.starts_with("'") && Innermost() != Place::Double) {
    Open(Place::AnsiC, pos);
    return Literal(pos, 2);
  }
  dollarBefore_ = true;
  return Literal(pos, 1);
}

std::size_t LineTemplate::Reader::InArithmetic(std::string_view all, std::size_t pos) {
  Opened& here = open_.back();
  const char c = all[pos];
  if (c == '(') ++here.depth;
  if (c == ')' && here.depth > 0) {
    --here.depth;
  } else if (c == ')') {
    if (all.substr(pos, 2) != "))") Refuse(pos);
    Close();
    return Literal(pos, all.substr(pos, 2).size());
  }
  if (c == '\'' || c == '"') Refuse(pos);
  return Literal(pos, 1);
}

// "${name<operator>word}": a value is sure only in the word, after a name.
std::size_t LineTemplate::Reader::InParameter(std::string_view all, std::size_t pos) {
  Opened& here = open_.back();
  const char c = all[pos];
  if (here.stage == ParamStage::Start || here.stage == ParamStage::Name) {
    const std::string_view defaults = "-=?+", patterns = "#%/^,";
    const char after = c == ':' && pos + 1 < all.size() ? all[pos + 1] : c;
    if (IsNameChar(c)) {
      here.stage = ParamStage::Name;
    } else if (here.stage == ParamStage::Start) {
      here.stage = ParamStage::Unsure;
    } else {
      // Patterns take a quoted value as it is; a substring's offsets and
      // an index are arithmetic, which would run a name's "$(...)".
      here.stage = defaults.find(after) != std::string_view::npos ? ParamStage::Default
                   : patterns.find(c) != std::string_view::npos   ? ParamStage::Word
                                                                  : ParamStage::Unsure;
    }
  }
  if (c == '}') {
    Close();
    return Literal(pos, 1);
  }
  if (c == '\'' || c == '"') {
    // Within double quotes, shells differ on whether "'" quotes there.
    if (c == '\'' && !ParameterInBare()) Refuse(pos);
    Open(c == '"' ? Place::Double : Place::Single, pos);
    return Mark(pos);
  }
  return Literal(pos, 1);
}

std::size_t LineTemplate::Reader::InBare(std::string_view all, std::size_t pos) {
  const char c = all[pos];
  const bool atStart = std::exchange(wordStart_, false);
  if (c == '\'' || c == '"') {
    Open(c == '"' ? Place::Double : Place::Single, pos);
    return Mark(pos);
  }
  if (c == '#' && atStart) {
    Open(Place::Comment, pos);
    return Literal(pos, 1);
  }
  if (c == '(') Open(Place::Group, pos);
  if (c == ')' && (Innermost() == Place::Group || Innermost() == Place::Command)) Close();
  if (c == '{') ++braces_;
  if (c == '}' && braces_ > 0) --braces_;
  // A here-document's body would be read by rules of its own ("<<<" gives
  // one word, as any other).
  if (all.substr(pos, 3) == "<<<") return Literal(pos, 3);
  if (all.substr(pos, 2) == "<<") Refuse(pos);
  if (std::string_view(" \t\n;&|<>()").find(c) != std::string_view::npos)
    return Delimiter(all, pos);
  return Literal(pos, 1);
}

std::size_t LineTemplate::Reader::Delimiter(std::string_view all, std::size_t pos) {
  // A "case" pattern's ")" would close "$(...)" early for this reader.
  const bool inCommand = std::any_of(open_.begin(), open_.end(),
                                     [](const Opened& o) { return o.place == Place::Command; });
  if (inCommand && all.substr(wordBegin_, pos - wordBegin_) == "case") Refuse(wordBegin_);
  ++word_;
  Literal(pos, 1);
  ++word_;
  braces_ = 0;
  wordStart_ = true;
  wordBegin_ = pos + 1;
  return 1;
}

// cmd: double quotes, "^" escapes outside them; a quote never spans lines.
std::size_t LineTemplate::Reader::ReadCmd(std::string_view all, std::size_t pos) {
  const std::size_t length = code_.CharLength(all, pos);
  const char c = all[pos];
  if (length > 1 || escaped_) {
    escaped_ = false;
    return Literal(pos, length);
  }
  const bool quoted = Innermost() == Place::Double;
  if (c == '"') {
    Mark(pos);
    if (quoted) Close();
    if (!quoted) Open(Place::Double, pos);
    return 1;
  }
  if (quoted && c == '\n') Refuse(pos);
  if (!quoted && c == '^') {
    // An escaped quote in a word that gets quoted whole has no sure form.
    if (all.substr(pos + 1, 1) == "\"") Refuse(pos);
    escaped_ = true;
  }
  if (!quoted && std::string_view(" \t\r\n&|<>").find(c) != std::string_view::npos)
    return Delimiter(all, pos);
  const std::size_t macro = c == '$' ? MacroAt(all, pos) : MacroTable().size();
  if (macro == MacroTable().size()) return Literal(pos, 1);
  PlaceMacro(macro, pos);
  return MacroTable()[macro].Name.size();
}

bool LineTemplate::Reader::ParameterInBare() const {
  for (auto o = open_.rbegin(); o != open_.rend(); ++o) {
    if (o->place != Place::Parameter) return IsBarePlace(o->place);
  }
  return false;
}

// A value's form in "${...}": the bare one outside quotes, after a name and
// its operator; inside double quotes only in a default's word, where "}" is
// escaped too. False where no form is sure.
bool LineTemplate::Reader::ParameterForm(Context& where) const {
  auto o = open_.rbegin();
  for (; o->place == Place::Parameter; ++o) {
    if (o->stage != ParamStage::Default && o->stage != ParamStage::Word) return false;
  }
  where = Context::Bare;
  if (IsBarePlace(o->place)) return true;
  where = Context::InQuotedDefault;
  return o->place == Place::Double && o - open_.rbegin() == 1 &&
         open_.back().stage == ParamStage::Default;
}

// A macro's step in the form its place asks for, or the template refused
// where no form is sure.
void LineTemplate::Reader::PlaceMacro(std::size_t macro, std::size_t pos) {
  static const std::size_t kSize = MacroAt("$SIZE", 0);
  bool sure = true;
  Context where = Where();
  switch (Innermost()) {
    case Place::Arithmetic:
      sure = macro == kSize;  // only a number is sure to stay one
      break;
    case Place::Parameter:
      sure = ParameterForm(where);
      break;
    case Place::Backquote:
    case Place::AnsiC:
      sure = false;
      break;
    default:
      if (where == Context::Bare && braces_ > 0) where = Context::InBraces;
  }
  if (!sure) Refuse(pos);
  AddMacro(macro, where);
}

void LineTemplate::Reader::AddText(std::uint16_t kind, std::size_t pos, std::size_t length) {
  std::vector<Step>& steps = line_.steps_;
  const Context where = Where();
  if (kind == kLiteral && !steps.empty()) {
    Step& last = steps.back();
    if (last.Macro == kLiteral && last.Word == word_ && last.Where == where &&
        last.Start + last.Length == pos) {
      last.Length += static_cast<std::uint32_t>(length);
      return;
    }
  }
  steps.push_back({kind, where, false, word_, static_cast<std::uint32_t>(pos),
                   static_cast<std::uint32_t>(length)});
}

// The line must end where it began: outside every quote, substitution and
// expansion, with no escape left over (the next entry's line would join it).
void LineTemplate::Reader::Finish() {
  if (escaped_) Refuse(line_.text_.size() - 1);
  if (Innermost() == Place::Comment) Close();
  if (open_.size() > 1) Refuse(open_.back().at);
  std::vector<Step>& steps = line_.steps_;
  for (std::size_t s = 0; s < steps.size(); ++s) {
    const bool sameBefore = s > 0 && steps[s - 1].Word == steps[s].Word;
    const bool sameAfter = s + 1 < steps.size() && steps[s + 1].Word == steps[s].Word;
    steps[s].Alone = steps[s].Macro < MacroTable().size() && !sameBefore && !sameAfter;
  }
}

LineTemplate LineTemplate::AroundName(std::string_view prefix, std::string_view suffix,
                                      QuoteRule rule, const CodePage& code) {
  LineTemplate line;
  Reader reader(line, rule, code);
  if (!prefix.empty()) {
    reader.Read(prefix);
    reader.Read(" ");
  }
  reader.DisplayedName();
  if (!suffix.empty()) {
    reader.Read(" ");
    reader.Read(suffix);
  }
  reader.Finish();
  return line;
}

LineTemplate LineTemplate::Whole(std::string_view text, QuoteRule rule, const CodePage& code) {
  LineTemplate line;
  Reader reader(line, rule, code);
  reader.Read(text);
  reader.Finish();
  return line;
}

LineTemplate LineTemplate::For(const ListOptions& options, PathStyle style, const CodePage& code) {
  const QuoteRule rule = QuoteRuleOf(style);
  return options.HasLine ? Whole(options.Line, rule, code)
                         : AroundName(options.Prefix, options.Suffix, rule, code);
}

}  // namespace tvx
