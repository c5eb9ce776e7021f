#include "Commands.h"

#include "Output.h"
#include "Platform.h"
#include "Scan.h"

namespace tvx {

namespace {

constexpr std::string_view kMacros[] = {"$SELF", "$FULL", "$SHORT", "$DATETIME", "$DATE", "$TIME"};

// The displayed form of a name: case mapping, then quoting.
void MakeDisplay(std::string& name, const ListOptions& options, const CodePage& code) {
  if (options.Upper) UpperAscii(name, code);
  if (options.Lower) LowerAscii(name, code);
  if (!options.NoQuote) QuoteIfBlank(name);
}

void ExpandOne(std::string& text, std::string_view self, TDateTime time, std::string_view shortText,
               std::string_view fullText, const LocaleSettings& locale) {
  if (text.find('$') == std::string::npos) return;
  const CodePage& code = locale.Code;
  ReplaceAllIn(text, kMacros[0], self, code);
  ReplaceAllIn(text, kMacros[1], fullText, code);
  ReplaceAllIn(text, kMacros[2], shortText, code);
  // Each date text is only made when its macro occurs.
  if (text.find("$DATETIME") != std::string::npos)
    ReplaceAllIn(text, kMacros[3], DateTimeText(time, locale), code);
  if (text.find("$DATE") != std::string::npos)
    ReplaceAllIn(text, kMacros[4], DateText(time, locale), code);
  if (text.find("$TIME") != std::string::npos)
    ReplaceAllIn(text, kMacros[5], TimeText(time, locale), code);
}

}  // namespace

bool HasMacros(const ListOptions& options) {
  for (std::string_view macro : kMacros) {
    if (options.Prefix.find(macro) != std::string::npos ||
        options.Suffix.find(macro) != std::string::npos)
      return true;
  }
  return false;
}

void ExpandMacros(std::string& prefix, std::string& suffix, std::string_view self, TDateTime time,
                  std::string_view shortText, std::string_view fullText,
                  const LocaleSettings& locale) {
  ExpandOne(prefix, self, time, shortText, fullText, locale);
  ExpandOne(suffix, self, time, shortText, fullText, locale);
}

void ListCommand(const ListOptions& options, const EntryList& list, const LocaleSettings& locale,
                 LineWriter& out) {
  const bool macros = HasMacros(options);
  // Reused across entries so the loop allocates only when a text outgrows them.
  std::string fullText, display, prefix, suffix, line;
  FullPrefixCache prefixes(list);
  // Without macros or case mapping most lines are just copied pieces.
  const bool plain = !macros && !options.Upper && !options.Lower;
  std::uint32_t lastDir = UINT32_MAX;
  bool dirHasBlank = false, dirHasQuote = false;
  list.ForEach([&](const TTarvixFileInfo& entry) {
    if (options.NoDir && entry.IsDir()) return;
    const std::string_view shortText = entry.ShortName();
    const std::string& dirText = prefixes.For(entry.DirIndex());
    if (plain) {
      if (entry.DirIndex() != lastDir) {
        lastDir = entry.DirIndex();
        dirHasBlank = dirText.find(' ') != std::string::npos;
        dirHasQuote = dirText.find('"') != std::string::npos;
      }
      const bool full = !options.FileNameOnly;
      const bool quote = !options.NoQuote &&
                         (shortText.find(' ') != std::string_view::npos || (full && dirHasBlank));
      // Quotes inside a quoted name are doubled: that case takes the long way.
      if (!quote || (shortText.find('"') == std::string_view::npos && !(full && dirHasQuote))) {
        out.Append(options.Prefix);
        if (quote) out.Append("\"");
        if (full) out.Append(dirText);
        out.Append(shortText);
        if (quote) out.Append("\"");
        out.Append(options.Suffix);
        out.EndLine();
        return;
      }
    }
    fullText.assign(dirText);
    fullText.append(shortText);
    display.assign(options.FileNameOnly ? shortText : std::string_view(fullText));
    MakeDisplay(display, options, locale.Code);
    line.clear();
    if (macros) {
      prefix = options.Prefix;
      suffix = options.Suffix;
      ExpandMacros(prefix, suffix, display, entry.DateTime(), shortText, fullText, locale);
      line.append(prefix).append(display).append(suffix);
    } else {
      line.append(options.Prefix).append(display).append(options.Suffix);
    }
    out.WriteLine(line);
  });
}

void DirCommand(const ListOptions& options, const EntryList& list, std::uint64_t totalBytes,
                const DiskSpace* space, const LocaleSettings& locale, const std::string& banner,
                LineWriter& out) {
  std::string name, line;
  list.ForEach([&](const TTarvixFileInfo& entry) {
    name.assign(entry.Name());
    MakeDisplay(name, options, locale.Code);
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
