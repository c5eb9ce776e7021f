// LIST's lines: the per-entry macro values, the date cache, and the choice
// between copying the steps and the replace-in-turn rule.
#include <charconv>
#include <vector>

#include "Macros.h"
#include "Options.h"
#include "Order.h"
#include "Output.h"
#include "Paths.h"
#include "Scan.h"

namespace tvx {

namespace {

// The date texts the steps of a prefix and suffix use, kept for the last few
// hundred distinct times: files of a tree were mostly written in batches.
class DateCache {
 public:
  DateCache(const DateForms& forms, const std::array<bool, kMacroCount>& used)
      : forms_(forms), slots_(kSlots) {
    for (std::size_t d = 0; d < kDateMacroCount; ++d) {
      wanted_[d] = used[kFirstDateMacro + d];
      any_ = any_ || wanted_[d];
    }
  }
  bool Wanted() const { return any_; }
  // Puts the date texts of time in the places of their macros; false when
  // one of them holds a "$".
  bool Fill(TDateTime time, MacroValues& values) {
    Slot& slot = slots_[static_cast<std::uint64_t>(time / 2) % kSlots];
    if (!slot.made || slot.time != time) Make(slot, time);
    for (std::size_t d = 0; d < kDateMacroCount; ++d)
      values[kFirstDateMacro + d].Pieces = {slot.texts[d]};
    return slot.clean;
  }
  // One date text, made afresh, for the replace-in-turn rule.
  void Append(std::string& out, std::size_t macro, TDateTime time) const {
    switch (static_cast<Macro>(macro)) {
      case Macro::DateTime:
        return forms_.AppendDateTime(out, time);
      case Macro::Date:
        return forms_.AppendDate(out, time);
      case Macro::Time:
        return forms_.AppendTime(out, time);
      case Macro::IsoDate:
        return AppendIsoDate(out, time);
      case Macro::IsoTime:
        return AppendIsoTime(out, time);
      default:
        return AppendStamp(out, time);
    }
  }

 private:
  static constexpr std::size_t kSlots = 509;  // prime: times often differ by round amounts
  struct Slot {
    bool made = false, clean = true;
    TDateTime time = 0;
    std::array<std::string, kDateMacroCount> texts;
  };
  void Make(Slot& slot, TDateTime time) {
    slot.made = true;
    slot.time = time;
    slot.clean = true;
    for (std::size_t d = 0; d < kDateMacroCount; ++d) {
      slot.texts[d].clear();
      if (wanted_[d]) Append(slot.texts[d], kFirstDateMacro + d, time);
      slot.clean &= slot.texts[d].find('$') == std::string::npos;
    }
  }
  const DateForms& forms_;
  std::array<bool, kDateMacroCount> wanted_{};
  bool any_ = false;
  std::vector<Slot> slots_;
};

// Most lines are copied piece by piece from the steps of prefix and suffix;
// a line whose texts could form macros is made by the replace-in-turn rule,
// which the steps only shortcut.
class MacroLines final : public ListLines, MacroSource {
 public:
  MacroLines(const ListOptions& options, PathStyle style, const LocaleSettings& locale)
      : options_(options),
        style_(style),
        code_(locale.Code),
        forms_(locale),
        prefix_(options.HasLine ? options.Line : WithBlank(options.Prefix, true)),
        suffix_(options.HasLine ? std::string() : WithBlank(options.Suffix, false)),
        used_(Used(prefix_, suffix_)),
        dates_(forms_, used_),
        macros_(HasMacros(options)) {
    const QuoteRule rule =
        style == PathStyle::Windows ? QuoteRule::CommandPrompt : QuoteRule::PosixShell;
    const bool quote = !options.NoQuote && !options.Nul;
    shown_ = {rule, quote, options.Upper, options.Lower};
    // $FULL and $SHORT keep their letter case; on Windows, whose names hold
    // no double quote, they stay raw as they always were.
    asStored_ = {rule, quote && style == PathStyle::Posix, false, false};
  }

  void Write(std::uint32_t dirIndex, std::string_view dir, std::size_t rootLength,
             const TTarvixFileInfo& entry, LineWriter& out) override {
    if (dirIndex != dirIndex_) EnterDirectory(dirIndex, dir, rootLength);
    name_ = entry.Name();
    time_ = entry.DateTime();
    entry_ = &entry;
    SetValues(false);
    bool bySteps = !macros_;
    if (macros_ && !dirHasDollar_ && name_.find('$') == std::string_view::npos &&
        (!dates_.Wanted() || dates_.Fill(time_, values_))) {
      bySteps = prefix_.StepsExact(values_) && suffix_.StepsExact(values_);
    }
    if (bySteps) {
      prefix_.AppendTo(out, values_);
      if (!options_.HasLine) Append(out, values_[MacroIndex(Macro::Self)]);
      suffix_.AppendTo(out, values_);
    } else {
      // Inserted text may form any macro: every value is wanted then.
      SetValues(true);
      WriteInTurn(out);
    }
    if (options_.Nul) {
      out.EndWith('\0');
    } else {
      out.EndLine();
    }
  }

  std::string_view Text(Macro macro) override {
    const std::size_t m = MacroIndex(macro);
    if (!IsDateMacro(m)) return whole_[m];
    date_.clear();
    dates_.Append(date_, m, time_);
    return date_;
  }

 private:
  static std::string WithBlank(const std::string& text, bool after) {
    if (text.empty()) return text;
    return after ? text + " " : " " + text;
  }
  static std::array<bool, kMacroCount> Used(const MacroText& prefix, const MacroText& suffix) {
    std::array<bool, kMacroCount> used{};
    for (std::size_t m = 0; m < kMacroCount; ++m)
      used[m] = prefix.Uses(static_cast<Macro>(m)) || suffix.Uses(static_cast<Macro>(m));
    return used;
  }
  static void Append(LineWriter& out, const MacroValue& value) {
    for (std::string_view piece : value.Pieces) {
      if (!piece.empty()) out.Append(piece);
    }
  }
  MacroValue& Value(Macro macro) { return values_[MacroIndex(macro)]; }
  bool Uses(Macro macro) const { return used_[MacroIndex(macro)]; }

  void EnterDirectory(std::uint32_t dirIndex, std::string_view dir, std::size_t rootLength) {
    dirIndex_ = dirIndex;
    dir_ = dir;
    rel_ = dir.substr(rootLength);
    dirNeeds_ = QuoteNeedsOf(dir, shown_.Rule, code_);
    relNeeds_ = QuoteNeedsOf(rel_, shown_.Rule, code_);
    dirHasDollar_ = dir.find('$') != std::string_view::npos;
  }

  // The texts of the name macros as pieces: those the steps use, or all.
  void SetValues(bool all) {
    const bool full = !options_.FileNameOnly;
    Value(Macro::Self).Pieces =
        QuotedPieces(full ? dir_ : std::string_view(), full ? dirNeeds_ : QuoteNeeds(), name_,
                     shown_, code_, buffers_[MacroIndex(Macro::Self)]);
    if (!macros_) return;
    const auto wanted = [&](Macro macro) { return all || Uses(macro); };
    Set(wanted(Macro::Full), Macro::Full, dir_, dirNeeds_, name_, asStored_);
    Set(wanted(Macro::Short), Macro::Short, {}, {}, name_, asStored_);
    Set(wanted(Macro::Rel), Macro::Rel, rel_, relNeeds_, name_, shown_);
    if (wanted(Macro::Parent) && parentIndex_ != dirIndex_) {
      parentIndex_ = dirIndex_;
      parent_ = WithoutFinalSeparator(dir_, style_, code_);
      Set(true, Macro::Parent, {}, {}, parent_, shown_);
    }
    if (wanted(Macro::Name) || wanted(Macro::Ext)) {
      const std::string_view ext = ExtensionOf(name_);
      Set(true, Macro::Name, {}, {}, name_.substr(0, name_.size() - ext.size()), shown_);
      Set(true, Macro::Ext, {}, {}, ext, shown_);
    }
    if (wanted(Macro::Size)) {
      char* begin = size_.data();
      const auto end = std::to_chars(begin, begin + size_.size(), entry_->Size()).ptr;
      Value(Macro::Size).Pieces = {std::string_view(begin, static_cast<std::size_t>(end - begin))};
    }
  }
  void Set(bool wanted, Macro macro, std::string_view dir, const QuoteNeeds& dirNeeds,
           std::string_view name, const WordForm& form) {
    if (!wanted) return;
    Value(macro).Pieces =
        QuotedPieces(dir, dirNeeds, name, form, code_, buffers_[MacroIndex(macro)]);
  }

  void WriteInTurn(LineWriter& out) {
    for (std::size_t m = 0; m < kMacroCount; ++m) {
      if (IsDateMacro(m)) continue;
      whole_[m].clear();
      values_[m].AppendTo(whole_[m]);
    }
    for (const MacroText* text : {&prefix_, &suffix_}) {
      line_ = text->Typed();
      ReplaceMacrosInTurn(line_, *this, code_);
      out.Append(line_);
      if (text == &prefix_ && !options_.HasLine) out.Append(whole_[MacroIndex(Macro::Self)]);
    }
  }

  const ListOptions& options_;
  const PathStyle style_;
  const CodePage& code_;
  const DateForms forms_;
  const MacroText prefix_, suffix_;
  const std::array<bool, kMacroCount> used_;
  DateCache dates_;
  const bool macros_;
  WordForm shown_, asStored_;
  std::uint32_t dirIndex_ = UINT32_MAX;
  std::string_view dir_, rel_;
  QuoteNeeds dirNeeds_, relNeeds_;
  bool dirHasDollar_ = false;
  std::uint32_t parentIndex_ = UINT32_MAX;  // the directory parent_ is of
  std::string parent_;
  const TTarvixFileInfo* entry_ = nullptr;
  std::string_view name_;
  TDateTime time_ = 0;
  MacroValues values_;
  std::array<char, 24> size_{};
  // Reused across entries so the loop allocates only when a text outgrows them.
  std::array<std::string, kMacroCount> buffers_, whole_;
  std::string line_, date_;
};

}  // namespace

std::unique_ptr<ListLines> ListLines::Make(const ListOptions& options, PathStyle style,
                                           const LocaleSettings& locale) {
  return std::make_unique<MacroLines>(options, style, locale);
}

}  // namespace tvx
