#include "Commands.h"

#include "Macros.h"
#include "Output.h"
#include "platform/SystemFacts.h"
#include "text/Failure.h"
#include "text/Messages.h"
#include "text/Paths.h"
#include "walk/Scan.h"

namespace tvx {

namespace {

WordForm ShownForm(const ListOptions& options, PathStyle style) {
  return {QuoteRuleOf(style), !options.NoQuote, options.Upper, options.Lower};
}

}  // namespace

namespace {

// Why LIST cannot write a name truthfully on its line, if it cannot: a
// character the code page lacks, a name Windows takes for another, or
// (unless /0 ends the lines) a control byte.
enum class Unwritable { No, CodePage, Rewritten, Control };

// Appends text padded with blanks to width bytes, as DIR's table columns are:
// after it (left-aligned) or before it. A longer text is kept whole.
void AppendPadded(std::string& out, std::string_view text, std::size_t width, bool leftAligned) {
  std::size_t pad = text.size() < width ? width - text.size() : 0;
  if (!leftAligned) out.append(pad, ' ');
  out.append(text);
  if (leftAligned) out.append(pad, ' ');
}

Unwritable UnwritableName(const ListOptions& options, const EntryList& list,
                          const TTarvixFileInfo& entry) {
  if (entry.IsInexact()) return Unwritable::CodePage;
  if (!entry.HasControlBytes()) return Unwritable::No;
  if (list.Style() == PathStyle::Windows && Win32RewritesName(entry.Name()))
    return Unwritable::Rewritten;
  return options.Nul ? Unwritable::No : Unwritable::Control;
}

Unwritable UnwritableDirectory(const ListOptions& options, const EntryList& list,
                               std::uint32_t dirIndex) {
  if (list.InInexactDirectory(dirIndex)) return Unwritable::CodePage;
  if (list.InRewrittenDirectory(dirIndex)) return Unwritable::Rewritten;
  return !options.Nul && list.InControlDirectory(dirIndex) ? Unwritable::Control : Unwritable::No;
}

// Thrown by its own type, so that its message stays its own.
template <typename SomeFailure>
void Report(const SomeFailure& failure, const std::function<void(const Failure&)>& leftOut) {
  if (!leftOut) throw failure;
  leftOut(failure);
}

PathReach ReachOf(const ListOptions& options, PathStyle style, const CodePage& code) {
  return LineTemplate::For(options, style, code).Reach(options.FileNameOnly);
}

}  // namespace

NameCheck::NameCheck(const ListOptions& options, PathReach reach,
                     std::function<void(const Failure&)> leftOut)
    : options_(options), reach_(reach), leftOut_(std::move(leftOut)) {}

bool NameCheck::RootWritable(const EntryList& list) {
  if (!rootChecked_) {
    // The listed directory itself: every line that holds a whole path holds it.
    rootChecked_ = true;
    rootBad_ = reach_ >= PathReach::Whole && !options_.Nul && list.RootHasControl();
    const CodePage& code = CodePage::SingleByte();  // only for the final separator
    if (rootBad_)
      Report(ControlNameFailure(WithoutFinalSeparator(list.Root(), list.Style(), code)), leftOut_);
  }
  return !rootBad_;
}

bool NameCheck::Writable(const EntryList& list, const TTarvixFileInfo& entry,
                         FullPrefixCache& prefixes) {
  if (!RootWritable(list)) return false;
  Unwritable why =
      reach_ >= PathReach::Name ? UnwritableName(options_, list, entry) : Unwritable::No;
  const Unwritable directory = reach_ >= PathReach::BelowRoot
                                   ? UnwritableDirectory(options_, list, entry.DirIndex())
                                   : Unwritable::No;
  if (why == Unwritable::No && directory == Unwritable::No) return true;
  if (options_.NoDir && entry.IsDir() && !options_.Recursive) return false;
  const std::string& prefix = prefixes.For(entry.DirIndex());
  // The contents of a directory reported go with it.
  if (!reported_.empty() && prefix.starts_with(reported_)) return false;
  std::string path;
  if (directory != Unwritable::No) {
    // A directory that a filter left out: the lines of its contents hold
    // its name all the same.
    why = directory;
    reported_ = prefix;
    path = WithoutFinalSeparator(prefix, list.Style(), CodePage::SingleByte());
  } else {
    path = prefix + std::string(entry.Name());
    if (entry.IsDir()) reported_ = path + Separator(list.Style());
  }
  if (why == Unwritable::CodePage) {
    Report(InexactNameFailure(path), leftOut_);
  } else if (why == Unwritable::Rewritten) {
    Report(RewrittenNameFailure(path), leftOut_);
  } else {
    Report(ControlNameFailure(path), leftOut_);
  }
  return false;
}

std::function<bool(const EntryList&, const TTarvixFileInfo&)> WritableNames(
    const ListOptions& options, PathStyle style, const CodePage& code,
    std::function<void(const Failure&)> leftOut) {
  struct State {
    NameCheck check;
    std::unique_ptr<FullPrefixCache> prefixes;  // made with the first entry, for its list
  };
  auto state = std::make_shared<State>(
      State{NameCheck(options, ReachOf(options, style, code), std::move(leftOut)), nullptr});
  return [state](const EntryList& list, const TTarvixFileInfo& entry) {
    if (!state->prefixes) state->prefixes = std::make_unique<FullPrefixCache>(list);
    return state->check.Writable(list, entry, *state->prefixes);
  };
}

void Replay(CommandWriter& writer, const EntryList& list) {
  writer.Check(list);
  list.ForEach([&](const TTarvixFileInfo& entry) { writer.Take(list, entry); });
}

ListWriter::ListWriter(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
                       LineWriter& out, std::function<void(const Failure&)> leftOut)
    : options_(options),
      reach_(ReachOf(options, style, locale.Code)),
      out_(out),
      check_(options, reach_, std::move(leftOut)),
      lines_(ListLines::Make(options, style, locale)) {}

ListWriter::~ListWriter() = default;

void ListWriter::Check(const EntryList& list) {
  // Entries before the first inexact one are writable, and a listed
  // directory that is not makes every entry inexact. A check of its own, so
  // that the writing starts afresh.
  // Every name is named (up to a bound) before the run stops: fixing one
  // must not merely reveal the next.
  UnwritableNamesFailure names;
  NameCheck check(options_, reach_, [&names](const Failure& name) { names.Add(name); });
  FullPrefixCache prefixes(list);
  for (std::size_t i = list.FirstInexact(); i < list.Count(); ++i)
    check.Writable(list, list[i], prefixes);
  if (names.Count() != 0) throw names;
}

void ListWriter::Take(const EntryList& list, const TTarvixFileInfo& entry) {
  if (!prefixes_) prefixes_ = std::make_unique<FullPrefixCache>(list);
  // Checked before /D leaves a directory out: its contents' lines hold its name.
  if (!check_.Writable(list, entry, *prefixes_)) return;
  if (options_.NoDir && entry.IsDir()) return;
  lines_->Write(entry.DirIndex(), prefixes_->For(entry.DirIndex()), list.Root().size(), entry,
                out_);
}

DirWriter::DirWriter(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
                     LineWriter& out)
    : form_(ShownForm(options, style)), locale_(locale), out_(out) {}

void DirWriter::Take(const EntryList&, const TTarvixFileInfo& entry) {
  std::string_view name = entry.Name();
  if (entry.HasControlBytes()) {
    shown_.assign(name);
    ShowControlChars(shown_);
    name = shown_;
  }
  line_.clear();
  AppendPadded(line_, DirStampText(entry.DateTime(), locale_), 20, true);
  line_ += ' ';
  AppendPadded(line_, FormatNumber(entry.Size(), locale_), 20, false);
  line_ += "  ";
  std::size_t width = 0;
  for (std::string_view piece : QuotedPieces({}, {}, name, form_, locale_.Code, buffer_)) {
    line_.append(piece);
    width += piece.size();
  }
  line_.append(width < 30 ? 30 - width : 0, ' ');
  out_.WriteLine(line_);
}

void DirWriter::Finish(const EntryList& list, const Closing& closing) {
  const std::uint64_t totalBytes = closing.TotalBytes;
  const bool megabytes = totalBytes > 1048000;
  const std::uint64_t divisor = megabytes ? 1048000 : 1024;
  const std::string unit = megabytes ? " MB (" : " KB (";
  const std::uint64_t capacity = closing.Space ? closing.Space->Total : 0;
  const std::uint64_t free = closing.Space ? closing.Space->FreeForCaller : 0;
  auto figures = [&](std::uint64_t bytes) {
    return FormatNumber(bytes / divisor, locale_) + unit + FormatNumber(bytes, locale_) + " bytes)";
  };
  out_.WriteText("\r\n " + std::to_string(list.Count()) + " files exists. " + figures(totalBytes) +
                 "\r\n\r\n - DRIVE INFO\r\n " + figures(capacity) + "\r\n " + figures(free) +
                 " free");
  out_.WriteText(closing.Banner);
}

void StatWriter::Finish(const EntryList& list, const Closing& closing) {
  std::string root = closing.Root;
  ShowControlChars(root);
  out_.WriteText(closing.Banner);
  out_.WriteLine("ROOT " + root + " FileCount=" + std::to_string(list.Count()));
}

}  // namespace tvx
