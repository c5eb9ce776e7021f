// LIST's lines: one table of macro names; a prefix, suffix or line template
// cut once per run into literal text and macro steps; and the per-entry
// values with the date cache (MacroLines.cpp), which write each line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Locale.h"
#include "Text.h"

namespace tvx {

class LineWriter;
class TTarvixFileInfo;
struct ListOptions;
enum class PathStyle;
struct LocaleSettings;

// In the order the replace-in-turn rule replaces them: "$DATETIME" before
// "$DATE", so the longer name is never cut in two; the date macros together;
// then the path parts and the size.
enum class Macro {
  Self,
  Full,
  Short,
  DateTime,
  Date,
  Time,
  IsoDate,
  IsoTime,
  Stamp,
  Rel,
  Parent,
  Name,
  Ext,
  Size
};
inline constexpr std::size_t kMacroCount = 14;
inline constexpr std::array<std::string_view, kMacroCount> kMacroNames = {
    "$SELF",    "$FULL",  "$SHORT", "$DATETIME", "$DATE", "$TIME", "$ISODATE",
    "$ISOTIME", "$STAMP", "$REL",   "$PARENT",   "$NAME", "$EXT",  "$SIZE"};
constexpr std::size_t MacroIndex(Macro macro) {
  return static_cast<std::size_t>(macro);
}
inline constexpr std::size_t kFirstDateMacro = MacroIndex(Macro::DateTime);
inline constexpr std::size_t kDateMacroCount = 6;
constexpr bool IsDateMacro(std::size_t macro) {
  return macro >= kFirstDateMacro && macro < kFirstDateMacro + kDateMacroCount;
}

// A macro's text for one entry, in up to four pieces (a quote, a directory, a
// name, a quote), so that it is written without being put together first.
struct MacroValue {
  WordPieces Pieces{};
  std::size_t Size() const;
  void AppendTo(std::string& out) const;
};
using MacroValues = std::array<MacroValue, kMacroCount>;

// Hands out an entry's macro texts whole, each made when first asked for.
class MacroSource {
 public:
  virtual ~MacroSource() = default;
  virtual std::string_view Text(Macro macro) = 0;
};

// A prefix or suffix, cut once per run into literal text and macro steps.
class MacroText {
 public:
  explicit MacroText(std::string_view text);

  const std::string& Typed() const { return typed_; }
  bool Uses(Macro macro) const { return uses_[MacroIndex(macro)]; }
  // Whether writing the steps gives what replacing in turn gives, for an
  // entry none of whose texts holds a "$" (text put in after "$DATE" could
  // still spell "$DATETIME"), within the limits of ReplaceAll.
  bool StepsExact(const MacroValues& values) const;
  void AppendTo(LineWriter& out, const MacroValues& values) const;

 private:
  struct Step {
    std::size_t macro;          // kMacroCount for literal text
    std::size_t start, length;  // the literal text in typed_
  };
  std::string typed_;
  std::vector<Step> steps_;
  std::array<bool, kMacroCount> uses_{};
  std::size_t macroSteps_ = 0;
  // A "$" that starts no macro, or "$DATE" close before a macro that is
  // replaced earlier: inserted text can then form a macro that the steps
  // would not replace.
  bool formsMacros_ = false;
};

// The replace-in-turn rule, the reference for every line: each macro of the
// table in turn replaced by ReplaceAll on the result of the previous one, so
// that macros formed by inserted text are replaced too.
void ReplaceMacrosInTurn(std::string& text, MacroSource& source, const CodePage& code);

// Whether LIST's prefix, suffix or line template holds a macro: only then
// are macros replaced, and only then can a date or size be needed (a name
// put in by one may hold another).
bool HasMacros(const ListOptions& options);

// The locale-free date texts: "2026-12-07", "16:44:40", "20261207-164440".
void AppendIsoDate(std::string& out, TDateTime time);
void AppendIsoTime(std::string& out, TDateTime time);
void AppendStamp(std::string& out, TDateTime time);

// Makes LIST's lines: the prefix, the displayed name and the suffix with a
// blank between those present, or the /LINE template alone; the macros of
// either replaced per entry.
class ListLines {
 public:
  static std::unique_ptr<ListLines> Make(const ListOptions& options, PathStyle style,
                                         const LocaleSettings& locale);
  virtual ~ListLines() = default;
  // Writes entry's line and its end. dir is the full path of its directory
  // with a final separator, of which the first rootLength bytes are the
  // listed directory's; dirIndex tells when dir changes.
  virtual void Write(std::uint32_t dirIndex, std::string_view dir, std::size_t rootLength,
                     const TTarvixFileInfo& entry, LineWriter& out) = 0;
};

}  // namespace tvx
