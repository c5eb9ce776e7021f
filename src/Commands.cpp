#include "Commands.h"

#include <utility>
#include <vector>

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
               std::string_view fullText, const DateForms& forms, const CodePage& code,
               std::string& scratch) {
  if (text.find('$') == std::string::npos) return;
  ReplaceAllIn(text, kMacros[0], self, code);
  ReplaceAllIn(text, kMacros[1], fullText, code);
  ReplaceAllIn(text, kMacros[2], shortText, code);
  // Each date text is only made when its macro occurs.
  if (text.find("$DATETIME") != std::string::npos) {
    scratch.clear();
    forms.AppendDateTime(scratch, time);
    ReplaceAllIn(text, kMacros[3], scratch, code);
  }
  if (text.find("$DATE") != std::string::npos) {
    scratch.clear();
    forms.AppendDate(scratch, time);
    ReplaceAllIn(text, kMacros[4], scratch, code);
  }
  if (text.find("$TIME") != std::string::npos) {
    scratch.clear();
    forms.AppendTime(scratch, time);
    ReplaceAllIn(text, kMacros[5], scratch, code);
  }
}

// A prefix or suffix cut once per run into literal text and macros. Used
// for an entry when none of the texts it inserts holds a "$": then no
// replacement can form a new macro, the literal parts hold no "$" either, and
// copying the pieces gives exactly what replacing macro after macro gives.
class MacroTemplate {
 public:
  enum class Kind { Literal, Self, Full, Short, DateTime, Date, Time };

  explicit MacroTemplate(std::string_view text) {
    static constexpr std::pair<std::string_view, Kind> kNames[] = {
        {"$SELF", Kind::Self},         {"$FULL", Kind::Full}, {"$SHORT", Kind::Short},
        {"$DATETIME", Kind::DateTime}, {"$DATE", Kind::Date}, {"$TIME", Kind::Time}};
    std::size_t start = 0;
    for (std::size_t pos = text.find('$'); pos != std::string_view::npos;
         pos = text.find('$', start)) {
      Kind kind = Kind::Literal;
      std::size_t length = 0;
      for (const auto& [name, k] : kNames) {
        if (text.substr(pos, name.size()) == name) {
          kind = k;
          length = name.size();
          break;
        }
      }
      if (kind == Kind::Literal) {
        usable_ = false;  // a "$" of its own could join with inserted text
        return;
      }
      if (pos > start)
        parts_.push_back({Kind::Literal, std::string(text.substr(start, pos - start))});
      parts_.push_back({kind, {}});
      usesDate_ = usesDate_ || kind == Kind::DateTime || kind == Kind::Date || kind == Kind::Time;
      start = pos + length;
    }
    if (start < text.size()) parts_.push_back({Kind::Literal, std::string(text.substr(start))});
  }

  bool Usable() const { return usable_; }
  bool UsesDate() const { return usesDate_; }

  struct Part {
    Kind kind;
    std::string text;
  };
  const std::vector<Part>& Parts() const { return parts_; }

 private:
  std::vector<Part> parts_;
  bool usable_ = true;
  bool usesDate_ = false;
};

// The date texts that the templates use, kept for the last few hundred
// distinct times: files of a tree were mostly written in batches.
class EntryDates {
 public:
  EntryDates(const DateForms& forms, const MacroTemplate& a, const MacroTemplate& b)
      : forms_(forms), slots_(kSlots) {
    for (const MacroTemplate* t : {&a, &b}) {
      for (const MacroTemplate::Part& part : t->Parts()) {
        wantDateTime_ |= part.kind == MacroTemplate::Kind::DateTime;
        wantDate_ |= part.kind == MacroTemplate::Kind::Date;
        wantTime_ |= part.kind == MacroTemplate::Kind::Time;
      }
    }
  }
  // Makes the texts for time; false when one of them holds a "$".
  bool For(TDateTime time) {
    Slot& slot = slots_[static_cast<std::uint64_t>(time / 2) % kSlots];
    current_ = &slot;
    if (slot.made && slot.time == time) return slot.clean;
    slot.time = time;
    slot.made = true;
    slot.dateTime.clear();
    slot.date.clear();
    slot.timeText.clear();
    if (wantDateTime_) forms_.AppendDateTime(slot.dateTime, time);
    if (wantDate_) forms_.AppendDate(slot.date, time);
    if (wantTime_) forms_.AppendTime(slot.timeText, time);
    slot.clean = slot.dateTime.find('$') == std::string::npos &&
                 slot.date.find('$') == std::string::npos &&
                 slot.timeText.find('$') == std::string::npos;
    return slot.clean;
  }
  // The texts of the time last given to For.
  const std::string& DateTime() const { return current_->dateTime; }
  const std::string& Date() const { return current_->date; }
  const std::string& Time() const { return current_->timeText; }

 private:
  static constexpr std::size_t kSlots = 509;  // prime: times often differ by round amounts
  struct Slot {
    bool made = false, clean = true;
    TDateTime time = 0;
    std::string dateTime, date, timeText;
  };
  const DateForms& forms_;
  bool wantDateTime_ = false, wantDate_ = false, wantTime_ = false;
  std::vector<Slot> slots_;
  Slot* current_ = nullptr;
};

}  // namespace

bool HasMacros(const ListOptions& options) {
  for (std::string_view macro : kMacros) {
    if (options.Prefix.find(macro) != std::string::npos ||
        options.Suffix.find(macro) != std::string::npos)
      return true;
  }
  return false;
}

void ListCommand(const ListOptions& options, const EntryList& list, const LocaleSettings& locale,
                 LineWriter& out) {
  const bool macros = HasMacros(options);
  const bool full = !options.FileNameOnly;
  const bool caseMapped = options.Upper || options.Lower;
  const DateForms forms(locale);
  const MacroTemplate prefixParts(options.Prefix), suffixParts(options.Suffix);
  const bool templated = !macros || (prefixParts.Usable() && suffixParts.Usable());
  const bool datesNeeded = prefixParts.UsesDate() || suffixParts.UsesDate();
  EntryDates dates(forms, prefixParts, suffixParts);
  FullPrefixCache prefixes(list);
  // Reused across entries so the loop allocates only when a text outgrows them.
  std::string fullText, display, prefix, suffix, scratch;
  std::uint32_t lastDir = UINT32_MAX;
  bool dirHasBlank = false, dirHasQuote = false, dirHasDollar = false;

  list.ForEach([&](const TTarvixFileInfo& entry) {
    if (options.NoDir && entry.IsDir()) return;
    const std::string_view shortText = entry.ShortName();
    const std::string& dirText = prefixes.For(entry.DirIndex());
    if (entry.DirIndex() != lastDir) {
      lastDir = entry.DirIndex();
      dirHasBlank = dirText.find(' ') != std::string::npos;
      dirHasQuote = dirText.find('"') != std::string::npos;
      dirHasDollar = dirText.find('$') != std::string::npos;
    }

    // Most lines are copied piece by piece: the displayed name is made as a
    // text of its own only for case mapping or quotes to be doubled.
    const bool quote = !options.NoQuote &&
                       (shortText.find(' ') != std::string_view::npos || (full && dirHasBlank));
    const bool piecewise =
        !caseMapped &&
        (!quote || (shortText.find('"') == std::string_view::npos && !(full && dirHasQuote)));
    if (!piecewise) {
      display.assign(full ? dirText : std::string());
      display.append(shortText);
      MakeDisplay(display, options, locale.Code);
    }
    auto emitDisplay = [&] {
      if (!piecewise) {
        out.Append(display);
        return;
      }
      if (quote) out.Append("\"");
      if (full) out.Append(dirText);
      out.Append(shortText);
      if (quote) out.Append("\"");
    };

    if (templated && (!macros || (shortText.find('$') == std::string_view::npos && !dirHasDollar &&
                                  (!datesNeeded || dates.For(entry.DateTime()))))) {
      auto emit = [&](const MacroTemplate& parts) {
        for (const MacroTemplate::Part& part : parts.Parts()) {
          switch (part.kind) {
            case MacroTemplate::Kind::Literal:
              out.Append(part.text);
              break;
            case MacroTemplate::Kind::Self:
              emitDisplay();
              break;
            case MacroTemplate::Kind::Full:
              out.Append(dirText);
              out.Append(shortText);
              break;
            case MacroTemplate::Kind::Short:
              out.Append(shortText);
              break;
            case MacroTemplate::Kind::DateTime:
              out.Append(dates.DateTime());
              break;
            case MacroTemplate::Kind::Date:
              out.Append(dates.Date());
              break;
            case MacroTemplate::Kind::Time:
              out.Append(dates.Time());
              break;
          }
        }
      };
      if (macros) {
        emit(prefixParts);
        emitDisplay();
        emit(suffixParts);
      } else {
        out.Append(options.Prefix);
        emitDisplay();
        out.Append(options.Suffix);
      }
      out.EndLine();
      return;
    }

    // Inserted text that holds a "$": replace macro after macro.
    fullText.assign(dirText);
    fullText.append(shortText);
    if (piecewise) {
      display.assign(full ? std::string_view(fullText) : shortText);
      MakeDisplay(display, options, locale.Code);
    }
    prefix = options.Prefix;
    suffix = options.Suffix;
    ExpandOne(prefix, display, entry.DateTime(), shortText, fullText, forms, locale.Code, scratch);
    ExpandOne(suffix, display, entry.DateTime(), shortText, fullText, forms, locale.Code, scratch);
    out.Append(prefix);
    out.Append(display);
    out.Append(suffix);
    out.EndLine();
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
