#include "Commands.h"

#include "Failure.h"
#include "Macros.h"
#include "Messages.h"
#include "Output.h"
#include "Paths.h"
#include "Platform.h"
#include "Scan.h"

namespace tvx {

namespace {

QuoteRule QuoteRuleFor(PathStyle style) {
  return style == PathStyle::Windows ? QuoteRule::CommandPrompt : QuoteRule::PosixShell;
}

WordForm ShownForm(const ListOptions& options, PathStyle style) {
  return {QuoteRuleFor(style), !options.NoQuote, options.Upper, options.Lower};
}

}  // namespace

namespace {

// Why LIST cannot write a name truthfully on its line, if it cannot: a
// character the code page lacks, or (unless /0 ends the lines) a control byte.
enum class Unwritable { No, CodePage, Control };

Unwritable UnwritableName(const ListOptions& options, const TTarvixFileInfo& entry) {
  if (entry.IsInexact()) return Unwritable::CodePage;
  return entry.HasControlBytes() && !options.Nul ? Unwritable::Control : Unwritable::No;
}

bool InUnwritableDirectory(const ListOptions& options, const EntryList& list,
                           std::uint32_t dirIndex) {
  return list.InInexactDirectory(dirIndex) || (!options.Nul && list.InControlDirectory(dirIndex));
}

// Thrown by its own type, so that its message stays its own.
template <typename SomeFailure>
void Report(const SomeFailure& failure, const std::function<void(const Failure&)>& leftOut) {
  if (!leftOut) throw failure;
  leftOut(failure);
}

}  // namespace

void CheckListedNames(const ListOptions& options, const EntryList& list,
                      const std::function<void(const Failure&)>& leftOut) {
  const CodePage& code = CodePage::SingleByte();  // only for the final separator
  if (list.Count() > 0 && InUnwritableDirectory(options, list, 0)) {
    // The listed directory itself: every line would hold it.
    return Report(ControlNameFailure(WithoutFinalSeparator(list.Root(), list.Style(), code)),
                  leftOut);
  }
  FullPrefixCache prefixes(list);
  std::string reported;  // the last directory reported, with its separator: its contents go with it
  for (std::size_t i = list.FirstInexact(); i < list.Count(); ++i) {
    const TTarvixFileInfo& entry = list[i];
    const Unwritable why = UnwritableName(options, entry);
    const bool inBadDirectory = InUnwritableDirectory(options, list, entry.DirIndex());
    if ((why == Unwritable::No && !inBadDirectory) ||
        (options.NoDir && entry.IsDir() && !options.Recursive)) {
      continue;
    }
    const std::string& prefix = prefixes.For(entry.DirIndex());
    if (!reported.empty() && prefix.starts_with(reported)) continue;
    if (inBadDirectory) {
      // A directory that a filter left out: the lines of its contents hold
      // its name all the same.
      reported = prefix;
      const std::string path = WithoutFinalSeparator(prefix, list.Style(), code);
      if (list.InInexactDirectory(entry.DirIndex())) {
        Report(InexactNameFailure(path), leftOut);
      } else {
        Report(ControlNameFailure(path), leftOut);
      }
      continue;
    }
    const std::string path = prefix + std::string(entry.Name());
    if (entry.IsDir()) reported = path + Separator(list.Style());
    if (why == Unwritable::CodePage) {
      Report(InexactNameFailure(path), leftOut);
    } else {
      Report(ControlNameFailure(path), leftOut);
    }
  }
}

void ListCommand(const ListOptions& options, const EntryList& list, const LocaleSettings& locale,
                 LineWriter& out) {
  const std::unique_ptr<ListLines> lines = ListLines::Make(options, list.Style(), locale);
  const std::size_t rootLength = list.Root().size();
  FullPrefixCache prefixes(list);
  list.ForEach([&](const TTarvixFileInfo& entry) {
    if (options.NoDir && entry.IsDir()) return;
    if (options.Continue && (UnwritableName(options, entry) != Unwritable::No ||
                             InUnwritableDirectory(options, list, entry.DirIndex())))
      return;
    lines->Write(entry.DirIndex(), prefixes.For(entry.DirIndex()), rootLength, entry, out);
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
  const WordForm form = ShownForm(options, list.Style());
  std::string shown, buffer, line;
  list.ForEach([&](const TTarvixFileInfo& entry) {
    std::string_view name = entry.Name();
    if (entry.HasControlBytes()) {
      shown.assign(name);
      ShowControlChars(shown);
      name = shown;
    }
    line.clear();
    AppendPadded(line, DirStampText(entry.DateTime(), locale), 20, true);
    line += ' ';
    AppendPadded(line, FormatNumber(entry.Size(), locale), 20, false);
    line += "  ";
    std::size_t width = 0;
    for (std::string_view piece : QuotedPieces({}, {}, name, form, locale.Code, buffer)) {
      line.append(piece);
      width += piece.size();
    }
    line.append(width < 30 ? 30 - width : 0, ' ');
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
