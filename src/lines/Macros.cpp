#include "Macros.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "Options.h"
#include "text/Paths.h"

namespace tvx {

namespace {

void ProduceSelf(const MacroInput& e, std::string& out) {
  if (!e.FileNameOnly) out.append(e.Dir);
  out.append(e.Name);
}
void ProduceFull(const MacroInput& e, std::string& out) {
  out.append(e.Dir);
  out.append(e.Name);
}
void ProduceShort(const MacroInput& e, std::string& out) {
  out.append(e.Name);
}
void ProduceDateTime(const MacroInput& e, std::string& out) {
  e.Forms->AppendDateTime(out, e.Time);
}
void ProduceDate(const MacroInput& e, std::string& out) {
  e.Forms->AppendDate(out, e.Time);
}
void ProduceTime(const MacroInput& e, std::string& out) {
  e.Forms->AppendTime(out, e.Time);
}
void ProduceIsoDate(const MacroInput& e, std::string& out) {
  AppendIsoDate(out, e.ExactTime);
}
void ProduceIsoTime(const MacroInput& e, std::string& out) {
  AppendIsoTime(out, e.ExactTime);
}
void ProduceStamp(const MacroInput& e, std::string& out) {
  AppendStamp(out, e.ExactTime);
}
void ProduceRel(const MacroInput& e, std::string& out) {
  out.append(e.Dir.substr(e.RootLength));
  out.append(e.Name);
}
void ProduceParent(const MacroInput& e, std::string& out) {
  out.append(e.Parent);
}
void ProduceName(const MacroInput& e, std::string& out) {
  out.append(e.Name.substr(0, e.Name.size() - ExtensionOf(e.Name).size()));
}
void ProduceExt(const MacroInput& e, std::string& out) {
  out.append(ExtensionOf(e.Name));
}
void ProduceSize(const MacroInput& e, std::string& out) {
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, e.Size).ptr;
  out.append(text, static_cast<std::size_t>(end - text));
}

using enum PathReach;
using enum MacroSource;
constexpr std::array<MacroRow, 14> kMacros = {{
    {"$SELF", true, Self, Path, ProduceSelf, "Listed file or directory name"},
    {"$FULL", false, Whole, Path, ProduceFull, "Full file or directory name"},
    {"$SHORT", false, Name, Path, ProduceShort, "Only file or Directory name"},
    {"$DATETIME", false, None, Time, ProduceDateTime, "File date and time"},
    {"$DATE", false, None, Time, ProduceDate, "File date"},
    {"$TIME", false, None, Time, ProduceTime, "File time"},
    {"$ISODATE", false, None, Time, ProduceIsoDate, "File date as 2026-12-07"},
    {"$ISOTIME", false, None, Time, ProduceIsoTime, "File time as 16:44:40"},
    {"$STAMP", false, None, Time, ProduceStamp, "File date and time as 20261207-164440"},
    {"$REL", true, BelowRoot, Path, ProduceRel, "Path from the listed directory"},
    {"$PARENT", true, Whole, Directory, ProduceParent, "Directory holding the file or directory"},
    {"$NAME", true, Name, Path, ProduceName, "Name without its extension"},
    {"$EXT", true, Name, Path, ProduceExt, "Extension with its dot"},
    {"$SIZE", false, None, Size, ProduceSize, "Size in bytes"},
}};
static_assert(kMacros.size() <= 32, "LineTemplate keeps a bit per macro");

// The longest macro name at text[pos] ("$DATETIME" rather than "$DATE"), or
// kMacros.size() when none stands there.
std::size_t MacroAt(std::string_view text, std::size_t pos) {
  std::size_t found = kMacros.size();
  for (std::size_t m = 0; m < kMacros.size(); ++m) {
    const std::string_view name = kMacros[m].Name;
    if (text.substr(pos, name.size()) == name &&
        (found == kMacros.size() || name.size() > kMacros[found].Name.size()))
      found = m;
  }
  return found;
}

void AppendNumbers(std::string& out, const char* format, int a, int b, int c) {
  char text[48];
  const int length = std::snprintf(text, sizeof text, format, a, b, c);
  if (length > 0) out.append(text, static_cast<std::size_t>(length));
}

}  // namespace

std::span<const MacroRow> MacroTable() {
  return kMacros;
}

// Reads the user's text as the target shell does, to know where each macro
// stands: sh has single and double quotes and "\" escapes outside single
// quotes; cmd has double quotes and "^" escapes outside them. A macro whose
// "$" the shell would take literally (an escaped one) stays as typed.
class LineTemplate::Reader {
 public:
  Reader(LineTemplate& line, QuoteRule rule, const CodePage& code)
      : line_(line), posix_(rule == QuoteRule::PosixShell), code_(code) {}

  void Read(std::string_view text) {
    const std::size_t begin = line_.text_.size();
    line_.text_.append(text);
    const std::string_view all = line_.text_;
    for (std::size_t pos = begin; pos < all.size();) pos += ReadAt(all, pos);
  }
  void DisplayedName() { AddMacro(kSelfMacro); }
  void Finish();

 private:
  std::size_t ReadAt(std::string_view all, std::size_t pos);
  bool IsDelimiter(char c) const {
    const std::string_view delimiters = posix_ ? " \t\n;&|<>()" : " \t&|<>";
    return where_ == Context::Bare && delimiters.find(c) != std::string_view::npos;
  }
  void AddText(std::uint16_t kind, std::size_t pos, std::size_t length);
  void AddMacro(std::size_t macro) {
    line_.steps_.push_back({static_cast<std::uint16_t>(macro), where_, false, word_, 0, 0});
    line_.used_ |= 1u << macro;
  }

  LineTemplate& line_;
  const bool posix_;
  const CodePage& code_;
  Context where_ = Context::Bare;
  bool escaped_ = false;  // the character before escapes this one
  std::uint32_t word_ = 0;
};

std::size_t LineTemplate::Reader::ReadAt(std::string_view all, std::size_t pos) {
  const std::size_t length = code_.CharLength(all, pos);
  const char c = all[pos];
  if (length > 1 || escaped_) {
    escaped_ = false;
    AddText(kLiteral, pos, length);
    return length;
  }
  const bool quote = where_ == Context::SingleQuoted
                         ? c == '\''
                         : c == '"' || (posix_ && c == '\'' && where_ == Context::Bare);
  if (quote) {
    AddText(kQuoteMark, pos, 1);
    const Context opened = c == '"' ? Context::DoubleQuoted : Context::SingleQuoted;
    where_ = where_ == Context::Bare ? opened : Context::Bare;
    return 1;
  }
  if (where_ != Context::SingleQuoted && c == (posix_ ? '\\' : '^') &&
      (posix_ || where_ == Context::Bare))
    escaped_ = true;
  if (IsDelimiter(c)) {
    ++word_;
    AddText(kLiteral, pos, 1);
    ++word_;
    return 1;
  }
  if (c == '$') {
    const std::size_t macro = MacroAt(all, pos);
    if (macro < kMacros.size()) {
      AddMacro(macro);
      return kMacros[macro].Name.size();
    }
  }
  AddText(kLiteral, pos, 1);
  return 1;
}

void LineTemplate::Reader::AddText(std::uint16_t kind, std::size_t pos, std::size_t length) {
  std::vector<Step>& steps = line_.steps_;
  if (kind == kLiteral && !steps.empty()) {
    Step& last = steps.back();
    if (last.Macro == kLiteral && last.Word == word_ && last.Start + last.Length == pos) {
      last.Length += static_cast<std::uint32_t>(length);
      return;
    }
  }
  steps.push_back({kind, where_, false, word_, static_cast<std::uint32_t>(pos),
                   static_cast<std::uint32_t>(length)});
}

void LineTemplate::Reader::Finish() {
  std::vector<Step>& steps = line_.steps_;
  for (std::size_t s = 0; s < steps.size(); ++s) {
    const bool sameBefore = s > 0 && steps[s - 1].Word == steps[s].Word;
    const bool sameAfter = s + 1 < steps.size() && steps[s + 1].Word == steps[s].Word;
    steps[s].Alone = steps[s].Macro < kMacros.size() && !sameBefore && !sameAfter;
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

bool LineTemplate::NeedsDetails() const {
  for (std::size_t m = 0; m < kMacros.size(); ++m) {
    const MacroSource source = kMacros[m].Source;
    if (Uses(m) && (source == MacroSource::Size || source == MacroSource::Time)) return true;
  }
  return false;
}

PathReach LineTemplate::Reach(bool fileNameOnly) const {
  PathReach reach = PathReach::None;
  for (std::size_t m = 0; m < kMacros.size(); ++m) {
    if (!Uses(m)) continue;
    PathReach own = kMacros[m].Reach;
    if (own == PathReach::Self) own = fileNameOnly ? PathReach::Name : PathReach::Whole;
    if (own > reach) reach = own;
  }
  return reach;
}

LineTemplate LineTemplate::For(const ListOptions& options, PathStyle style, const CodePage& code) {
  const QuoteRule rule = QuoteRuleOf(style);
  return options.HasLine ? Whole(options.Line, rule, code)
                         : AroundName(options.Prefix, options.Suffix, rule, code);
}

void AppendIsoDate(std::string& out, TDateTime time) {
  const DateParts parts = SplitDateTime(time);
  AppendNumbers(out, "%04d-%02d-%02d", parts.Year, parts.Month, parts.Day);
}

void AppendIsoTime(std::string& out, TDateTime time) {
  const DateParts parts = SplitDateTime(time);
  AppendNumbers(out, "%02d:%02d:%02d", parts.Hour, parts.Minute, parts.Second);
}

void AppendStamp(std::string& out, TDateTime time) {
  const DateParts parts = SplitDateTime(time);
  AppendNumbers(out, "%04d%02d%02d-", parts.Year, parts.Month, parts.Day);
  AppendNumbers(out, "%02d%02d%02d", parts.Hour, parts.Minute, parts.Second);
}

}  // namespace tvx
