#include "ListWriter.h"

#include "Macros.h"
#include "lines/KeptInTurns.h"
#include "lines/Output.h"
#include "text/Failure.h"
#include "text/Messages.h"
#include "text/Paths.h"
#include "walk/Scan.h"

namespace tvx {

namespace {

// Why LIST cannot write a name truthfully on its line, if it cannot: a
// character the code page lacks, a name Windows takes for another, or
// (unless /0 ends the lines) a control byte.
enum class Unwritable { No, CodePage, Rewritten, Control };

Unwritable UnwritableName(bool nul, const EntryList& list, const TTarvixFileInfo& entry) {
  if (entry.IsInexact()) return Unwritable::CodePage;
  if (!entry.HasControlBytes()) return Unwritable::No;
  if (list.Style() == PathStyle::Windows && Win32RewritesName(entry.Name()))
    return Unwritable::Rewritten;
  return nul ? Unwritable::No : Unwritable::Control;
}

Unwritable UnwritableDirectory(bool nul, const EntryList& list, std::uint32_t dirIndex) {
  if (list.InInexactDirectory(dirIndex)) return Unwritable::CodePage;
  if (list.InRewrittenDirectory(dirIndex)) return Unwritable::Rewritten;
  return !nul && list.InControlDirectory(dirIndex) ? Unwritable::Control : Unwritable::No;
}

// Thrown by its own type, so that its message stays its own.
template <typename SomeFailure>
void RaiseOrHandOn(const SomeFailure& failure, const std::function<void(const Failure&)>& leftOut) {
  if (!leftOut) throw failure;
  leftOut(failure);
}

}  // namespace

NameCheck::NameCheck(bool nul, bool unentered, PathReach reach,
                     std::function<void(const Failure&)> leftOut)
    : nul_(nul), unentered_(unentered), reach_(reach), leftOut_(std::move(leftOut)) {}

bool NameCheck::RootWritable(const EntryList& list) {
  if (!rootChecked_) {
    // The listed directory itself: every line that holds a whole path holds it.
    rootChecked_ = true;
    rootBad_ = reach_ >= PathReach::Whole && !nul_ && list.RootHasControl();
    const CodePage& code = CodePage::SingleByte();  // only for the final separator
    if (rootBad_)
      RaiseOrHandOn(ControlNameFailure(WithoutFinalSeparator(list.Root(), list.Style(), code)),
                    leftOut_);
  }
  return !rootBad_;
}

bool NameCheck::Writable(const EntryList& list, const TTarvixFileInfo& entry,
                         FullPrefixCache& prefixes) {
  if (!RootWritable(list)) return false;
  Unwritable why = reach_ >= PathReach::Name ? UnwritableName(nul_, list, entry) : Unwritable::No;
  const Unwritable directory = reach_ >= PathReach::BelowRoot
                                   ? UnwritableDirectory(nul_, list, entry.DirIndex())
                                   : Unwritable::No;
  if (why == Unwritable::No && directory == Unwritable::No) return true;
  if (unentered_ && entry.IsDir()) return false;
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
    RaiseOrHandOn(InexactNameFailure(path), leftOut_);
  } else if (why == Unwritable::Rewritten) {
    RaiseOrHandOn(RewrittenNameFailure(path), leftOut_);
  } else {
    RaiseOrHandOn(ControlNameFailure(path), leftOut_);
  }
  return false;
}

std::function<bool(const EntryList&, const TTarvixFileInfo&)> WritableNames(
    const ListOptions& options, bool writesDirectories, PathReach reach,
    std::function<void(const Failure&)> leftOut) {
  struct State {
    NameCheck check;
    std::unique_ptr<FullPrefixCache> prefixes;  // made with the first entry, for its list
  };
  auto state = std::make_shared<State>(State{
      NameCheck(options.Nul, !writesDirectories && !options.Recursive, reach, std::move(leftOut)),
      nullptr});
  return [state](const EntryList& list, const TTarvixFileInfo& entry) {
    if (!state->prefixes) state->prefixes = std::make_unique<FullPrefixCache>(list);
    return state->check.Writable(list, entry, *state->prefixes);
  };
}

ListWriter::ListWriter(const WriterInputs& in)
    : options_(in.Options),
      locale_(in.Locale),
      writesDirectories_(in.WritesDirectories),
      reach_(in.Lines.Reach(in.Options.FileNameOnly)),
      style_(in.Style),
      template_(in.Lines),
      threads_(in.Threads),
      out_(in.Out),
      check_(MakeCheck(in.LeftOut)),
      lines_(ListLines::Make(options_, in.Style, locale_, in.Lines)) {}

// A kept list's lines, which hold no name that cannot be written: checked
// whole before, so the fork reports nothing.
ListWriter::ListWriter(const ListWriter& from, LineWriter& out)
    : options_(from.options_),
      locale_(from.locale_),
      writesDirectories_(from.writesDirectories_),
      reach_(from.reach_),
      style_(from.style_),
      template_(from.template_),
      threads_(nullptr),
      out_(out),
      check_(MakeCheck(nullptr)),
      lines_(ListLines::Make(options_, style_, locale_, template_)),
      checked_(true) {}

std::unique_ptr<CommandWriter> ListWriter::Fork(LineWriter& out) const {
  return std::unique_ptr<CommandWriter>(new ListWriter(*this, out));
}

void ListWriter::TakeKept(const EntryList& list) {
  checked_ = true;
  WriteKeptInTurns(list, *this, out_, threads_);
}

ListWriter::~ListWriter() = default;

NameCheck ListWriter::MakeCheck(std::function<void(const Failure&)> leftOut) const {
  return NameCheck(options_.Nul, !writesDirectories_ && !options_.Recursive, reach_,
                   std::move(leftOut));
}

void ListWriter::Check(const EntryList& list) {
  // Entries before the first inexact one are writable, and a listed
  // directory that is not makes every entry inexact. A check of its own, so
  // that the writing starts afresh.
  // Every name is named (up to a bound) before the run stops: fixing one
  // must not merely reveal the next.
  UnwritableNamesFailure names;
  NameCheck check = MakeCheck([&names](const Failure& name) { names.Add(name); });
  FullPrefixCache prefixes(list);
  for (std::size_t i = list.FirstInexact(); i < list.Count(); ++i)
    check.Writable(list, list[i], prefixes);
  if (names.Count() != 0) throw names;
}

void ListWriter::Take(const EntryList& list, const TTarvixFileInfo& entry) {
  if (!prefixes_) prefixes_ = std::make_unique<FullPrefixCache>(list);
  // Checked before /D leaves a directory out: its contents' lines hold its name.
  if (!checked_ && !check_.Writable(list, entry, *prefixes_)) return;
  if (!writesDirectories_ && entry.IsDir()) return;
  lines_->Write(entry.DirIndex(), prefixes_->For(entry.DirIndex()), list.Root().size(), entry,
                out_);
}

}  // namespace tvx
