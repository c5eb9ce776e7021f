// LIST's lines: one table of macros, the prefix, suffix or line template
// read once per run as the target shell reads it, and the per-entry values
// (MacroLines.cpp), which write each line.
//
// Macros are replaced in one pass over the user's text: what a macro puts in
// is never searched again, so a name that holds a macro word stays that
// name. Each macro is written in the form that gives exactly its value where
// it stands: outside quotes, inside the user's double quotes or inside the
// user's single quotes, inside a command substitution nested in any of them.
// A template whose places the reader cannot be sure of is refused whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/Locale.h"
#include "text/Text.h"

namespace tvx {

class DateForms;
class LineWriter;
class TTarvixFileInfo;
struct ListOptions;
enum class PathStyle;

// What an entry's macros are made from.
struct MacroInput {
  std::string_view Dir;     // the full path of its directory, with the final separator
  std::size_t RootLength;   // how much of Dir is the listed directory's
  std::string_view Parent;  // Dir without its final separator (a root keeps it)
  std::string_view Name;
  bool FileNameOnly = false;
  std::uint64_t Size = 0;
  TDateTime Time = 0;       // the 2-second form the locale's date texts show
  TDateTime ExactTime = 0;  // to the second
  const DateForms* Forms = nullptr;
};

// How much of an entry's path a macro's text holds, so that a name is
// checked only where some line writes it. Self is the whole path, or the
// name alone under /F.
enum class PathReach : std::uint8_t { None, Name, BelowRoot, Whole, Self };

// What a macro's value depends on besides the path: the date macros give
// one text for one time, so it is kept between entries.
// What a value depends on: the entry's path, its directory's alone (made
// once per directory), its size, its time.
enum class MacroSource : std::uint8_t { Path, Directory, Size, Time };

struct MacroRow {
  std::string_view Name;  // "$SELF"
  bool Shown;             // /U and /L apply; the others keep the stored case
  PathReach Reach;
  MacroSource Source;
  void (*Produce)(const MacroInput& entry, std::string& out);
  std::string_view Usage;  // its line in the usage text
};

// Every macro, one row each; the index of a row is the macro's number.
std::span<const MacroRow> MacroTable();
inline constexpr std::uint16_t kSelfMacro = 0;

// The locale-free date texts: "2026-12-07", "16:44:40", "20261207-164440".
void AppendIsoDate(std::string& out, TDateTime time);
void AppendIsoTime(std::string& out, TDateTime time);
void AppendStamp(std::string& out, TDateTime time);

// The longest macro name at text[pos] ("$DATETIME" rather than "$DATE"), or
// MacroTable().size() when none stands there.
std::size_t MacroAt(std::string_view text, std::size_t pos);

// Where a macro stands in the user's text, as the target shell reads it.
// InBraces: outside quotes within a word's "{...}", where bash would cut a
// value at "," or "..". InQuotedDefault: the word of "${V:-...}" inside
// double quotes, where a "}" would end it.
enum class Context : std::uint8_t { Bare, DoubleQuoted, SingleQuoted, InBraces, InQuotedDefault };

// A prefix and suffix around the displayed name, or a /LINE template, cut
// once per run into steps: literal text, the user's quote marks, macros.
class LineTemplate {
 public:
  static constexpr std::uint16_t kLiteral = 0xFFFF;
  static constexpr std::uint16_t kQuoteMark = 0xFFFE;
  struct Step {
    std::uint16_t Macro = kLiteral;  // a row of MacroTable, or literal text or a quote mark
    Context Where = Context::Bare;
    bool Alone = false;                   // a macro that is a whole word by itself
    std::uint32_t Word = 0;               // steps of one word share it
    std::uint32_t Start = 0, Length = 0;  // literal text and quote marks, in Text()
  };

  // The prefix, a blank, the displayed name ($SELF), a blank and the suffix,
  // the blanks only beside a prefix or suffix that is there.
  static LineTemplate AroundName(std::string_view prefix, std::string_view suffix, QuoteRule rule,
                                 const CodePage& code);
  static LineTemplate Whole(std::string_view line, QuoteRule rule, const CodePage& code);
  // LIST's lines as the options ask, read by the rule of the system.
  static LineTemplate For(const ListOptions& options, PathStyle style, const CodePage& code);

  // Where in Text() the reader lost certainty of a macro's place (an
  // unclosed quote, a trailing escape, a here-document...), or npos. The
  // lines of such a template are not to be written.
  std::size_t RefusedAt() const { return refusedAt_; }

  const std::string& Text() const { return text_; }
  const std::vector<Step>& Steps() const { return steps_; }
  bool Uses(std::size_t macro) const { return (used_ >> macro) & 1u; }
  bool NeedsDetails() const;
  PathReach Reach(bool fileNameOnly) const;

 private:
  class Reader;
  std::string text_;
  std::vector<Step> steps_;
  std::uint32_t used_ = 0;  // a bit per macro
  std::size_t refusedAt_ = std::string::npos;
};

// Makes LIST's lines: the prefix, the displayed name and the suffix with a
// blank between those present, or the /LINE template alone; the macros of
// either replaced per entry.
class ListLines {
 public:
  // options and locale must outlive the lines (the writer that owns the
  // lines owns them too); lines, read once for the run, is copied.
  static std::unique_ptr<ListLines> Make(const ListOptions& options, PathStyle style,
                                         const LocaleSettings& locale, const LineTemplate& lines);
  virtual ~ListLines() = default;
  // Writes entry's line and its end. dir is the full path of its directory
  // with a final separator, of which the first rootLength bytes are the
  // listed directory's; dirIndex tells when dir changes.
  virtual void Write(std::uint32_t dirIndex, std::string_view dir, std::size_t rootLength,
                     const TTarvixFileInfo& entry, LineWriter& out) = 0;
};

}  // namespace tvx
