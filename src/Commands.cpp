#include "Commands.h"

#include <array>
#include <vector>

#include "Failure.h"
#include "Macros.h"
#include "Messages.h"
#include "Output.h"
#include "Platform.h"
#include "Scan.h"

namespace tvx {

namespace {

QuoteRule QuoteRuleFor(PathStyle style) {
  return style == PathStyle::Windows ? QuoteRule::CommandPrompt : QuoteRule::PosixShell;
}

// The displayed form of a name: case mapping, then quoting.
void MakeDisplay(std::string& name, const ListOptions& options, QuoteRule rule,
                 const CodePage& code) {
  if (options.Upper) UpperAscii(name, code);
  if (options.Lower) LowerAscii(name, code);
  if (!options.NoQuote) QuoteForShell(name, rule, code);
}

// The date texts the steps of a prefix and suffix use, kept for the last few
// hundred distinct times: files of a tree were mostly written in batches.
class DateCache {
 public:
  DateCache(const DateForms& forms, const MacroText& prefix, const MacroText& suffix)
      : forms_(forms), slots_(kSlots) {
    for (std::size_t m = kFirstDateMacro; m < kMacroCount; ++m) {
      wanted_[m - kFirstDateMacro] =
          prefix.Uses(static_cast<Macro>(m)) || suffix.Uses(static_cast<Macro>(m));
    }
  }
  bool Wanted() const { return wanted_[0] || wanted_[1] || wanted_[2]; }
  // Puts the date texts of time in the places of their macros; false when
  // one of them holds a "$".
  bool Fill(TDateTime time, MacroValues& values) {
    Slot& slot = slots_[static_cast<std::uint64_t>(time / 2) % kSlots];
    if (!slot.made || slot.time != time) Make(slot, time);
    for (std::size_t m = kFirstDateMacro; m < kMacroCount; ++m)
      values[m].Pieces = {slot.texts[m - kFirstDateMacro]};
    return slot.clean;
  }

 private:
  static constexpr std::size_t kSlots = 509;  // prime: times often differ by round amounts
  struct Slot {
    bool made = false, clean = true;
    TDateTime time = 0;
    std::array<std::string, 3> texts;
  };
  void Make(Slot& slot, TDateTime time) {
    slot.made = true;
    slot.time = time;
    for (std::string& text : slot.texts) text.clear();
    if (wanted_[0]) forms_.AppendDateTime(slot.texts[0], time);
    if (wanted_[1]) forms_.AppendDate(slot.texts[1], time);
    if (wanted_[2]) forms_.AppendTime(slot.texts[2], time);
    slot.clean = true;
    for (const std::string& text : slot.texts) slot.clean &= text.find('$') == std::string::npos;
  }
  const DateForms& forms_;
  std::array<bool, 3> wanted_{};  // $DATETIME, $DATE, $TIME
  std::vector<Slot> slots_;
};

// Writes LIST's lines. Most lines are copied piece by piece from the steps
// of prefix and suffix; a line whose texts could form macros is made by the
// replace-in-turn rule, which the steps only shortcut.
class ListLines : public MacroSource {
 public:
  ListLines(const ListOptions& options, PathStyle style, const LocaleSettings& locale)
      : options_(options),
        rule_(QuoteRuleFor(style)),
        quote_(QuoteChar(rule_)),
        code_(locale.Code),
        forms_(locale),
        prefix_(options.Prefix),
        suffix_(options.Suffix),
        dates_(forms_, prefix_, suffix_),
        macros_(HasMacros(options)) {}

  void Write(std::uint32_t dirIndex, const std::string& dir, const TTarvixFileInfo& entry,
             LineWriter& out) {
    if (dirIndex != dirIndex_) EnterDirectory(dirIndex, dir);
    name_ = entry.ShortName();
    time_ = entry.DateTime();
    SetValues();
    bool bySteps = !macros_;
    if (macros_ && !dirHasDollar_ && name_.find('$') == std::string_view::npos &&
        (!dates_.Wanted() || dates_.Fill(time_, values_))) {
      bySteps = prefix_.StepsExact(values_) && suffix_.StepsExact(values_);
    }
    if (bySteps) {
      prefix_.AppendTo(out, values_);
      for (std::string_view piece : values_[MacroIndex(Macro::Self)].Pieces) out.Append(piece);
      suffix_.AppendTo(out, values_);
    } else {
      WriteInTurn(out);
    }
    out.EndLine();
  }

  std::string_view Text(Macro macro) override {
    switch (macro) {
      case Macro::Self:
      case Macro::Full:
      case Macro::Short:
        return whole_[MacroIndex(macro)];
      case Macro::DateTime:
        return DateText(&DateForms::AppendDateTime);
      case Macro::Date:
        return DateText(&DateForms::AppendDate);
      case Macro::Time:
        break;
    }
    return DateText(&DateForms::AppendTime);
  }

 private:
  void EnterDirectory(std::uint32_t dirIndex, const std::string& dir) {
    dirIndex_ = dirIndex;
    dir_ = dir;
    dirNeedsQuotes_ = NeedsQuotes(dir, rule_, code_);
    dirHasQuote_ = dir.find(quote_) != std::string::npos;
    dirHasDollar_ = dir.find('$') != std::string::npos;
  }

  // The texts of $SELF, $FULL and $SHORT as pieces. The displayed name is made
  // as a text of its own only for case mapping or quotes to be escaped.
  void SetValues() {
    const bool full = !options_.FileNameOnly;
    const std::string_view dir = full ? dir_ : std::string_view();
    const bool quote =
        !options_.NoQuote && (NeedsQuotes(name_, rule_, code_) || (full && dirNeedsQuotes_));
    // Only a quoted name needs its quote characters escaped.
    const bool escaped =
        quote && (name_.find(quote_) != std::string_view::npos || (full && dirHasQuote_));
    if (!options_.Upper && !options_.Lower && !escaped) {
      const std::string_view mark = quote ? std::string_view(&quote_, 1) : std::string_view();
      values_[MacroIndex(Macro::Self)].Pieces = {mark, dir, name_, mark};
    } else {
      display_.assign(dir);
      display_.append(name_);
      MakeDisplay(display_, options_, rule_, code_);
      values_[MacroIndex(Macro::Self)].Pieces = {display_};
    }
    values_[MacroIndex(Macro::Full)].Pieces = {dir_, name_};
    values_[MacroIndex(Macro::Short)].Pieces = {name_};
  }

  void WriteInTurn(LineWriter& out) {
    for (std::size_t m = 0; m < kFirstDateMacro; ++m) {
      whole_[m].clear();
      values_[m].AppendTo(whole_[m]);
    }
    for (const MacroText* text : {&prefix_, &suffix_}) {
      line_ = text->Typed();
      ReplaceMacrosInTurn(line_, *this, code_);
      out.Append(line_);
      if (text == &prefix_) out.Append(whole_[MacroIndex(Macro::Self)]);
    }
  }

  std::string_view DateText(void (DateForms::*append)(std::string&, TDateTime) const) {
    date_.clear();
    (forms_.*append)(date_, time_);
    return date_;
  }

  const ListOptions& options_;
  const QuoteRule rule_;
  const char quote_;  // the rule's quote character
  const CodePage& code_;
  const DateForms forms_;
  const MacroText prefix_, suffix_;
  DateCache dates_;
  const bool macros_;
  std::uint32_t dirIndex_ = UINT32_MAX;
  std::string_view dir_;
  bool dirNeedsQuotes_ = false, dirHasQuote_ = false, dirHasDollar_ = false;
  std::string_view name_;
  TDateTime time_ = 0;
  MacroValues values_;
  // Reused across entries so the loop allocates only when a text outgrows them.
  std::string display_, line_, date_;
  std::array<std::string, kFirstDateMacro> whole_;  // $SELF, $FULL, $SHORT whole
};

}  // namespace

bool HasMacros(const ListOptions& options) {
  for (std::string_view macro : kMacroNames) {
    if (options.Prefix.find(macro) != std::string::npos ||
        options.Suffix.find(macro) != std::string::npos)
      return true;
  }
  return false;
}

void CheckListedNames(const ListOptions& options, const EntryList& list,
                      const std::function<void(const Failure&)>& leftOut) {
  FullPrefixCache prefixes(list);
  for (std::size_t i = list.FirstInexact(); i < list.Count(); ++i) {
    const TTarvixFileInfo& entry = list[i];
    // Contents of such a directory go with it: it was reported already.
    if (!entry.IsInexact() || list.InInexactDirectory(entry.DirIndex()) ||
        (options.NoDir && entry.IsDir() && !options.Recursive)) {
      continue;
    }
    const InexactNameFailure failure(prefixes.For(entry.DirIndex()) + std::string(entry.Name()));
    if (!leftOut) throw failure;
    leftOut(failure);
  }
}

void ListCommand(const ListOptions& options, const EntryList& list, const LocaleSettings& locale,
                 LineWriter& out) {
  ListLines lines(options, list.Style(), locale);
  FullPrefixCache prefixes(list);
  list.ForEach([&](const TTarvixFileInfo& entry) {
    if (options.NoDir && entry.IsDir()) return;
    if (options.Continue && (entry.IsInexact() || list.InInexactDirectory(entry.DirIndex())))
      return;
    lines.Write(entry.DirIndex(), prefixes.For(entry.DirIndex()), entry, out);
  });
}

void AppendPadded(std::string& out, std::string_view text, std::size_t width, bool leftAligned) {
  std::size_t pad = text.size() < width ? width - text.size() : 0;
  if (!leftAligned) out.append(pad, ' ');
  out.append(text);
  if (leftAligned) out.append(pad, ' ');
}

void DirCommand(const ListOptions& options, const EntryList& list, std::uint64_t totalBytes,
                const DiskSpace* space, const LocaleSettings& locale, const std::string& banner,
                LineWriter& out) {
  const QuoteRule rule = QuoteRuleFor(list.Style());
  std::string name, line;
  list.ForEach([&](const TTarvixFileInfo& entry) {
    name.assign(entry.Name());
    MakeDisplay(name, options, rule, locale.Code);
    line.clear();
    AppendPadded(line, DirStampText(entry.DateTime(), locale), 20, true);
    line += ' ';
    AppendPadded(line, FormatNumber(entry.Size(), locale), 20, false);
    line += "  ";
    AppendPadded(line, name, 30, true);
    out.WriteLine(line);
  });

  const bool megabytes = totalBytes > 1048000;
  const std::uint64_t divisor = megabytes ? 1048000 : 1024;
  const std::string unit = megabytes ? " MB (" : " KB (";
  const std::uint64_t capacity = space ? space->Total : 0;
  const std::uint64_t free = space ? space->FreeForCaller : 0;
  auto figures = [&](std::uint64_t bytes) {
    return FormatNumber(bytes / divisor, locale) + unit + FormatNumber(bytes, locale) + " bytes)";
  };
  out.WriteText("\r\n " + std::to_string(list.Count()) + " files exists. " + figures(totalBytes) +
                "\r\n\r\n - DRIVE INFO\r\n " + figures(capacity) + "\r\n " + figures(free) +
                " free");
  out.WriteText(banner);
}

void StatCommand(const std::string& fullPath, const EntryList& list, const std::string& banner,
                 LineWriter& out) {
  out.WriteText(banner);
  out.WriteLine("ROOT " + fullPath + " FileCount=" + std::to_string(list.Count()));
}

}  // namespace tvx
