// LIST's lines: each entry's macro values, and each written in the form its
// place in the user's text asks for.
#include <array>
#include <vector>

#include "Macros.h"
#include "lines/Options.h"
#include "lines/Output.h"
#include "lines/quoting/Quoting.h"
#include "text/Paths.h"
#include "walk/Scan.h"

namespace tvx {

namespace {

class MacroLines final : public ListLines {
 public:
  MacroLines(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
             const LineTemplate& lines)
      : options_(options), style_(style), code_(locale.Code), forms_(locale), template_(lines) {
    // How the values are written: the shell the lines are for, quoted at all
    // (not under /Q or /0), the letter case; and a "%" doubled so that a
    // batch file keeps it (/BAT on Windows).
    form_ = {QuoteRuleOf(style), !options.NoQuote && !options.Nul, options.Upper, options.Lower};
    cmd_ = form_.Rule == QuoteRule::CommandPrompt;
    doublePercent_ = cmd_ && options.Batch && !options.Nul;
    for (std::size_t m = 0; m < MacroTable().size(); ++m) {
      if (!template_.Uses(m)) continue;
      used_.push_back(m);
      usesParent_ |= MacroTable()[m].Source == MacroSource::Directory;
    }
    input_.FileNameOnly = options.FileNameOnly;
    input_.Forms = &forms_;
    // A line of text around the name alone (a plain listing, a prefix and a
    // suffix) goes out piece by piece: the directory is looked at once, not
    // copied for every entry.
    nameAlone_ = !doublePercent_;
    for (const Step& step : template_.Steps()) {
      if (step.Macro >= LineTemplate::kQuoteMark) continue;
      nameAlone_ &= step.Macro == kSelfMacro && step.Where == Context::Bare && step.Alone;
    }
    if (nameAlone_) TextAroundSelf();
  }

  void Write(std::uint32_t dirIndex, std::string_view dir, std::size_t rootLength,
             const TTarvixFileInfo& entry, LineWriter& out) override {
    if (dirIndex != dirIndex_) EnterDirectory(dirIndex, dir, rootLength, out);
    nameQuiet_ = entry.IsQuietName();
    if (quietLine_.ready && nameQuiet_) {
      // The line of most entries: a quiet name between its directory's
      // part and its end, both made once a directory.
      out.Append(quietLine_.open);
      out.Append(entry.Name());
      out.EndWith(quietLine_.close);
      return;
    }
    input_.Name = entry.Name();
    input_.Size = entry.Size();
    input_.Time = entry.DateTime();
    input_.ExactTime = entry.ExactDateTime();
    if (nameAlone_) {
      WriteNameAlone(out);
    } else {
      MakeValues();
      line_.clear();
      WriteSteps();
      out.Append(line_);
    }
    if (options_.Nul) {
      out.EndWith('\0');
    } else {
      out.EndLine();
    }
  }

 private:
  using Step = LineTemplate::Step;
  static constexpr std::size_t kMacroSlots =
      32;  // room for every macro: the template keeps a bit each

  void EnterDirectory(std::uint32_t dirIndex, std::string_view dir, std::size_t rootLength,
                      const LineWriter& out) {
    dirIndex_ = dirIndex;
    input_.Dir = dir;
    input_.RootLength = rootLength;
    dirNeeds_ = QuoteNeedsOf(dir, form_.Rule, code_);
    if (usesParent_) {
      parent_ = WithoutFinalSeparator(dir, style_, code_);
      input_.Parent = parent_;
    }
    if (selfOnly_) MakeQuietLine(out);
  }
  // The template's text before and after its one $SELF, where it has one.
  void TextAroundSelf() {
    std::size_t macros = 0;
    for (const Step& step : template_.Steps()) {
      if (step.Macro < LineTemplate::kQuoteMark) {
        ++macros;
        continue;
      }
      const std::string_view text =
          std::string_view(template_.Text()).substr(step.Start, step.Length);
      (macros == 0 ? beforeSelf_ : afterSelf_).append(text);
    }
    selfOnly_ = macros == 1;
  }
  // What a quiet name's line holds around the name in this directory, as
  // WriteNameAlone would give it: the template's text and the directory, in
  // quotes where it asks them. Not where a quote character in it must be
  // escaped, nor where the letters' case changes.
  void MakeQuietLine(const LineWriter& out) {
    const bool full = !input_.FileNameOnly;
    const bool quoted = full && form_.Quote && dirNeeds_.Quotes;
    quietLine_.ready = !form_.Upper && !form_.Lower && !(quoted && dirNeeds_.HasQuoteChar);
    const std::size_t marks = quoted ? 1 : 0;
    const char quote = QuoteChar(form_.Rule);
    quietLine_.open.assign(beforeSelf_).append(marks, quote);
    quietLine_.open.append(full ? input_.Dir : std::string_view());
    quietLine_.close.assign(marks, quote).append(afterSelf_);
    if (options_.Nul) {
      quietLine_.close += '\0';
    } else {
      quietLine_.close.append(out.LineBreak());
    }
  }
  void MakeValues() {
    const auto table = MacroTable();
    for (const std::size_t m : used_) {
      const MacroRow& row = table[m];
      // A date text is the same for the same time (files come in batches),
      // the directory's for the same directory.
      const bool kept = row.Source == MacroSource::Time || row.Source == MacroSource::Directory;
      const TDateTime key = row.Source == MacroSource::Time ? input_.ExactTime : dirIndex_;
      if (kept && made_[m] && madeFor_[m] == key) continue;
      values_[m].clear();
      row.Produce(input_, values_[m]);
      made_[m] = kept;
      madeFor_[m] = key;
      if (row.Shown && form_.Upper) UpperAscii(values_[m], code_);
      if (row.Shown && form_.Lower) LowerAscii(values_[m], code_);
    }
  }

  // The same bytes as the steps give where $SELF stands alone: one word,
  // quoted whole where it needs it (no name holds cmd's quote or ends in "\\").
  void WriteNameAlone(LineWriter& out) {
    const bool full = !input_.FileNameOnly;
    for (const Step& step : template_.Steps()) {
      if (step.Macro >= LineTemplate::kQuoteMark) {
        out.Append(std::string_view(template_.Text()).substr(step.Start, step.Length));
        continue;
      }
      if (Unchanged(full)) {
        if (full) out.Append(input_.Dir);
        out.Append(input_.Name);
        continue;
      }
      for (std::string_view piece :
           QuotedPieces(full ? input_.Dir : std::string_view(), full ? dirNeeds_ : QuoteNeeds(),
                        input_.Name, form_, code_, line_, nameQuiet_)) {
        if (!piece.empty()) out.Append(piece);
      }
    }
  }

  // Whether the word is its directory and name as they are, as QuotedPieces
  // would find: most are, and this is asked for every line.
  bool Unchanged(bool full) const {
    return NameAsItIs() && !(full && form_.Quote && dirNeeds_.Quotes);
  }
  // The name needs no quotes and keeps its letters: it adds nothing to
  // what its directory asks of a word.
  bool NameAsItIs() const { return nameQuiet_ && !form_.Upper && !form_.Lower; }

  // Whether macro m's value asks quotes under the run's rule. $SELF's is
  // known without a scan from its directory's, found once a directory, and
  // its name's facts (a change of letter case aside).
  bool NeedsQuotesAsValue(std::size_t m, const std::string& value) const {
    if (m == kSelfMacro && NameAsItIs()) return !input_.FileNameOnly && dirNeeds_.Quotes;
    return NeedsQuotes(value, form_.Rule, code_);
  }

  void WriteSteps() {
    const std::vector<Step>& steps = template_.Steps();
    for (std::size_t s = 0; s < steps.size();) {
      std::size_t end = s + 1;
      while (end < steps.size() && steps[end].Word == steps[s].Word) ++end;
      if (cmd_ && form_.Quote && WordNeedsQuotes(s, end)) {
        WriteQuotedWord(s, end);
      } else {
        for (std::size_t k = s; k < end; ++k) WriteStep(k);
      }
      s = end;
    }
  }

  // cmd and the C runtime both read a word in one pair of quotes as one
  // argument; a quote opened in the middle of a word ("backup\"a b") is a
  // literal quote to the C runtime. So a macro outside quotes that needs
  // them quotes the whole word it stands in.
  bool WordNeedsQuotes(std::size_t begin, std::size_t end) const {
    for (std::size_t k = begin; k < end; ++k) {
      const Step& step = template_.Steps()[k];
      if (step.Macro >= LineTemplate::kQuoteMark || step.Where != Context::Bare) continue;
      const std::string& value = values_[step.Macro];
      if ((step.Alone && value.empty()) || NeedsQuotesAsValue(step.Macro, value)) return true;
    }
    return false;
  }
  // Parentheses that open or end the word outside quotes are cmd's own
  // (a block, an "if", a "for" set): they stay outside the quotes.
  void WriteQuotedWord(std::size_t begin, std::size_t end) {
    const std::vector<Step>& steps = template_.Steps();
    const std::string_view opening = Parentheses(steps[begin], true);
    const std::string_view closing = Parentheses(steps[end - 1], false);
    line_.append(opening);
    line_ += '"';
    const std::size_t inside = line_.size();
    for (std::size_t k = begin; k < end; ++k) {
      const Step& step = steps[k];
      if (step.Macro == LineTemplate::kQuoteMark) continue;  // the word's own quotes go
      if (step.Macro != LineTemplate::kLiteral) {
        AppendValue(line_, values_[step.Macro], doublePercent_);
        continue;
      }
      std::string_view text = std::string_view(template_.Text()).substr(step.Start, step.Length);
      if (k == begin) text.remove_prefix(opening.size());
      if (k + 1 == end) text.remove_suffix(closing.size());
      if (step.Where == Context::Bare) {
        AppendUnescaped(line_, text, code_);
      } else {
        line_.append(text);
      }
    }
    DoubleTrailingBackslashes(line_, inside, code_);
    line_ += '"';
    line_.append(closing);
  }
  // The "(" that begin or the ")" that end a literal step outside quotes;
  // a ")" escaped with "^" is the user's text, inside the quotes.
  std::string_view Parentheses(const Step& step, bool opening) const {
    if (step.Macro != LineTemplate::kLiteral || step.Where != Context::Bare) return {};
    const std::string_view text =
        std::string_view(template_.Text()).substr(step.Start, step.Length);
    if (opening) return text.substr(0, text.find_first_not_of('('));
    std::size_t run = text.size();  // where the last run of ")" begins
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t length = code_.CharLength(text, i);
      if (length == 1 && text[i] == '^' && i + 1 < text.size()) {
        i += 1 + code_.CharLength(text, i + 1);
        run = text.size();
        continue;
      }
      if (length > 1 || text[i] != ')') {
        run = text.size();
      } else if (run == text.size()) {
        run = i;
      }
      i += length;
    }
    return text.substr(run);
  }

  void WriteStep(std::size_t k) {
    const std::vector<Step>& steps = template_.Steps();
    const Step& step = steps[k];
    if (step.Macro >= LineTemplate::kQuoteMark) {
      line_.append(template_.Text(), step.Start, step.Length);
      return;
    }
    const std::string& value = values_[step.Macro];
    if (!form_.Quote) return AppendValue(line_, value, doublePercent_);
    if (cmd_) {
      const std::size_t from = line_.size();
      AppendValue(line_, value, doublePercent_);
      const bool closes = k + 1 < steps.size() && steps[k + 1].Macro == LineTemplate::kQuoteMark;
      if (step.Where == Context::DoubleQuoted && closes)
        DoubleTrailingBackslashes(line_, from, code_);
      return;
    }
    switch (step.Where) {
      case Context::DoubleQuoted:
        return AppendForDoubleQuotes(line_, value);
      case Context::InQuotedDefault:
        return AppendForDoubleQuotes(line_, value, true);
      case Context::SingleQuoted:
        return AppendForSingleQuotes(line_, value);
      case Context::InBraces:
        if (SplitByBraces(value)) return AppendQuoted(line_, value, QuoteRule::PosixShell);
        [[fallthrough]];
      case Context::Bare:
        if ((step.Alone && value.empty()) || NeedsQuotesAsValue(step.Macro, value))
          return AppendQuoted(line_, value, QuoteRule::PosixShell);
        line_.append(value);
    }
  }

  const ListOptions& options_;
  const PathStyle style_;
  const CodePage& code_;
  const DateForms forms_;
  const LineTemplate template_;
  WordForm form_;
  bool cmd_ = false, doublePercent_ = false, usesParent_ = false;
  bool nameAlone_ = false;
  bool selfOnly_ = false;               // the template's one macro is $SELF, a word alone
  std::string beforeSelf_, afterSelf_;  // the template's text around it
  struct {
    bool ready = false;
    std::string open, close;
  } quietLine_;
  std::vector<std::size_t> used_;  // the macros the template holds, in the table's order
  QuoteNeeds dirNeeds_;
  bool nameQuiet_ = false;  // the entry's name needs no quotes, as its read found
  MacroInput input_;
  std::uint32_t dirIndex_ = UINT32_MAX;
  std::string parent_;
  // Reused across entries so the loop allocates only when a text outgrows them.
  std::array<std::string, kMacroSlots> values_;
  std::array<bool, kMacroSlots> made_{};
  std::array<TDateTime, kMacroSlots> madeFor_{};
  std::string line_;
};

}  // namespace

std::unique_ptr<ListLines> ListLines::Make(const ListOptions& options, PathStyle style,
                                           const LocaleSettings& locale,
                                           const LineTemplate& lines) {
  return std::make_unique<MacroLines>(options, style, locale, lines);
}

}  // namespace tvx
