#include "Macros.h"

#include <cstdio>

#include "Options.h"
#include "Output.h"

namespace tvx {

std::size_t MacroValue::Size() const {
  std::size_t size = 0;
  for (std::string_view piece : Pieces) size += piece.size();
  return size;
}

void MacroValue::AppendTo(std::string& out) const {
  for (std::string_view piece : Pieces) out.append(piece);
}

MacroText::MacroText(std::string_view text) : typed_(text) {
  const std::size_t kLiteral = kMacroCount;
  std::size_t start = 0;
  std::size_t afterDate = std::string_view::npos;  // where the last "$DATE" step ended
  for (std::size_t pos = text.find('$'); pos != std::string_view::npos;
       pos = text.find('$', pos + 1)) {
    std::size_t macro = 0;
    while (macro < kMacroCount && text.substr(pos, kMacroNames[macro].size()) != kMacroNames[macro])
      ++macro;
    if (macro == kMacroCount) {
      formsMacros_ = true;
      continue;
    }
    // "$DATE", then typed text that begins "TIME" ("", "T", "TI" or "TIM"),
    // then a macro replaced before "$DATETIME": its text could complete it.
    if (afterDate != std::string_view::npos && macro <= MacroIndex(Macro::DateTime) &&
        std::string_view("TIME").starts_with(text.substr(afterDate, pos - afterDate)))
      formsMacros_ = true;
    if (pos > start) steps_.push_back({kLiteral, start, pos - start});
    steps_.push_back({macro, 0, 0});
    uses_[macro] = true;
    ++macroSteps_;
    start = pos + kMacroNames[macro].size();
    afterDate = macro == MacroIndex(Macro::Date) ? start : std::string_view::npos;
    pos = start - 1;
  }
  if (start < text.size()) steps_.push_back({kLiteral, start, text.size() - start});
}

bool MacroText::StepsExact(const MacroValues& values) const {
  if (formsMacros_) return false;
  // ReplaceAll stops past its size and work limits: the steps may be taken
  // only where it would not, so that a long text gives one result either way.
  std::size_t largest = typed_.size();
  for (const Step& step : steps_) {
    if (step.macro < kMacroCount) largest += values[step.macro].Size();
  }
  return largest <= ReplaceAllLimit(macroSteps_);
}

void MacroText::AppendTo(LineWriter& out, const MacroValues& values) const {
  for (const Step& step : steps_) {
    if (step.macro == kMacroCount) {
      out.Append(std::string_view(typed_).substr(step.start, step.length));
      continue;
    }
    for (std::string_view piece : values[step.macro].Pieces) {
      if (!piece.empty()) out.Append(piece);
    }
  }
}

void ReplaceMacrosInTurn(std::string& text, MacroSource& source, const CodePage& code) {
  for (std::size_t macro = 0; macro < kMacroCount; ++macro) {
    // A text is only made (a date formatted) when its macro occurs.
    if (text.find(kMacroNames[macro]) == std::string::npos) continue;
    ReplaceAllIn(text, kMacroNames[macro], source.Text(static_cast<Macro>(macro)), code);
  }
}

}  // namespace tvx

namespace tvx {

bool HasMacros(const ListOptions& options) {
  for (std::string_view macro : kMacroNames) {
    for (const std::string* text : {&options.Prefix, &options.Suffix, &options.Line}) {
      if (text->find(macro) != std::string::npos) return true;
    }
  }
  return false;
}

namespace {
void AppendNumbers(std::string& out, const char* format, int a, int b, int c) {
  char text[48];
  const int length = std::snprintf(text, sizeof text, format, a, b, c);
  if (length > 0) out.append(text, static_cast<std::size_t>(length));
}
}  // namespace

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
