// The rows of the option table and the routines that read their values.
#include "OptionTable.h"

#include <algorithm>
#include <initializer_list>

#include "lines/list/Macros.h"
#include "text/CommandLine.h"
#include "text/Failure.h"
#include "text/Paths.h"
#include "walk/Order.h"
#include "walk/TopN.h"

namespace tvx {

namespace {

using Uses = std::vector<OptionUse>;

template <bool ListOptions::*Field>
void SetFlag(const Uses&, const OptionUses&, const OptionContext&, ListOptions& options) {
  options.*Field = true;
}

// The one rule for an option of one value given more than once: spelling by
// spelling (short first), the first use of that spelling, even an empty one;
// the first of these with a value counts. Null when none has one.
const OptionUse* CountingUse(const Uses& own) {
  for (std::size_t spelling = 0; spelling < 3; ++spelling) {
    const auto first = std::find_if(own.begin(), own.end(),
                                    [&](const OptionUse& use) { return use.Spelling == spelling; });
    if (first != own.end() && !first->Value.empty()) return &*first;
  }
  return nullptr;
}

void ReadOrder(const Uses& own, const OptionUses&, const OptionContext&, ListOptions& options) {
  // Each is checked; one counts.
  for (const OptionUse& use : own) ParseOrder(use.Value, use.Typed);
  if (const OptionUse* use = CountingUse(own)) options.Order = ParseOrder(use->Value, use->Typed);
}

void ReadTop(const Uses& own, const OptionUses&, const OptionContext&, ListOptions& options) {
  for (const OptionUse& use : own) ParseTop(use.Value, use.Typed);
  if (const OptionUse* use = CountingUse(own)) options.Top = ParseTop(use->Value, use->Typed);
}

// The first use of any of the rows of spellings, or null.
const OptionUse* FirstUseOf(const OptionUses& all,
                            std::initializer_list<std::string_view> spellings) {
  for (std::string_view spelling : spellings) {
    if (!all.Of(spelling).empty()) return &all.Of(spelling).front();
  }
  return nullptr;
}

void ReadRecords(const Uses& own, const OptionUses& all, const OptionContext&,
                 ListOptions& options) {
  // One form: the other beside it is a bad value, the same one again is not.
  for (const OptionUse& use : own) {
    if (use.Spelling != own[0].Spelling) throw InvalidValueFailure(use.Typed);
  }
  options.Records = own[0].Spelling == 0 ? RecordForm::Json : RecordForm::Csv;
  // DIR's totals have no place among CSV rows: its records are JSON.
  if (options.Records == RecordForm::Csv && options.Command == CommandKind::Dir)
    throw InvalidValueFailure(own[0].Typed);
  // A record holds every field as it is: nothing shapes it into a line.
  if (const OptionUse* line = FirstUseOf(all, {"/P", "/S", "/LINE", "/0"}))
    throw InvalidValueFailure(line->Typed);
}

// The value that counts, with its environment references expanded; none
// where it is empty ("/P=" first) or bare.
std::string FirstValue(const Uses& own, const OptionContext& context) {
  const OptionUse* use = CountingUse(own);
  return use ? ExpandEnvRefs(use->Value, context.Environment, context.Code) : std::string();
}

// Lines written without quotes (/Q, /0) are text, not the shell's.
bool LinesAreText(const OptionUses& all) {
  return !all.Of("/Q").empty() || !all.Of("/0").empty();
}

// LIST's lines are read as the system's shell reads them, before the scan:
// a prefix and suffix whose macros' places are not sure are a bad value of
// the one the reader stopped in.
void CheckAroundName(const OptionUses& all, const OptionContext& context) {
  if (LinesAreText(all)) return;
  const Uses& prefixes = all.Of("/P");
  const Uses& suffixes = all.Of("/S");
  const std::string prefix = FirstValue(prefixes, context);
  const std::string suffix = FirstValue(suffixes, context);
  const std::size_t at =
      LineTemplate::AroundName(prefix, suffix, QuoteRuleOf(context.Style), context.Code)
          .RefusedAt();
  if (at == std::string::npos) return;
  const bool inPrefix = !prefix.empty() && (suffix.empty() || at <= prefix.size() + 1);
  throw InvalidValueFailure(CountingUse(inPrefix ? prefixes : suffixes)->Typed);
}

void ReadPrefix(const Uses& own, const OptionUses& all, const OptionContext& context,
                ListOptions& options) {
  options.Prefix = FirstValue(own, context);
  CheckAroundName(all, context);
}

void ReadSuffix(const Uses& own, const OptionUses& all, const OptionContext& context,
                ListOptions& options) {
  options.Suffix = FirstValue(own, context);
  if (all.Of("/P").empty()) CheckAroundName(all, context);
}

// A template is the whole line: beside a prefix or suffix (even an empty
// one), or empty, it is a bad value; given more than once, the first counts.
void ReadLine(const Uses& own, const OptionUses& all, const OptionContext& context,
              ListOptions& options) {
  for (const OptionUse& use : own) {
    if (use.Value.empty()) throw InvalidValueFailure(use.Typed);
  }
  const OptionUse& line = *CountingUse(own);
  if (FirstUseOf(all, {"/P", "/S"})) throw InvalidValueFailure(line.Typed);
  options.HasLine = true;
  options.Line = ExpandEnvRefs(line.Value, context.Environment, context.Code);
  const QuoteRule rule = QuoteRuleOf(context.Style);
  if (!LinesAreText(all) &&
      LineTemplate::Whole(options.Line, rule, context.Code).RefusedAt() != std::string::npos)
    throw InvalidValueFailure(line.Typed);
}

// A filter's values, one at a time, into the run's choice.
template <void (Choice::*Add)(std::string_view, const std::string&)>
void ReadFilter(const Uses& own, const OptionUses&, const OptionContext&, ListOptions& options) {
  for (const OptionUse& use : own) (options.Chosen.*Add)(use.Value, use.Typed);
}

template <void (Choice::*Add)(std::string_view, const std::string&, TDateTime)>
void ReadAge(const Uses& own, const OptionUses&, const OptionContext& context,
             ListOptions& options) {
  for (const OptionUse& use : own) (options.Chosen.*Add)(use.Value, use.Typed, context.Now);
}

void ReadLevels(const Uses& own, const OptionUses& all, const OptionContext& context,
                ListOptions& options) {
  ReadFilter<&Choice::AddLevels>(own, all, context, options);
  // A number of levels says how deep to go, so it asks for the descent too.
  options.Recursive = true;
}

void IgnoreCase(const Uses&, const OptionUses&, const OptionContext&, ListOptions& options) {
  options.Chosen.IgnoreCase();
}

void Nothing(const Uses&, const OptionUses&, const OptionContext&, ListOptions&) {}

using enum OptionKind;
using enum OptionGroup;
using O = ListOptions;

const OptionRow kOptions[] = {
    {{"/F", "/FILENAMEONLY"},
     Switch,
     Options,
     "  /F[ILENAMEONLY]  List up file name only, Not fullpath",
     SetFlag<&O::FileNameOnly>},
    {{"/Q", "/NOQUOTE", "/NOQ"},
     Switch,
     Options,
     "  /Q, /NOQ[UOTE]  Omit quoting",
     SetFlag<&O::NoQuote>},
    // "/NOD": the short form keeps its "NO", as "/DIR" would read as the opposite.
    {{"/D", "/NODIR", "/NOD"},
     Switch,
     Options,
     "  /D, /NOD[IR]  Omit directories",
     SetFlag<&O::NoDir>},
    {{"/L", "/LOWER"},
     Switch,
     Options,
     "  /L[OWER]  Lower case file or directory name(LOWER has higher priority than UPPER)",
     SetFlag<&O::Lower>},
    {{"/U", "/UPPER"},
     Switch,
     Options,
     "  /U[PPER]  Upper case file or directory name",
     SetFlag<&O::Upper>},
    {{"/R", "/RECURSIVE"},
     Switch,
     Options,
     "  /R[ECURSIVE]  List up sub directories",
     SetFlag<&O::Recursive>},
    {{"/C", "/CONTINUE"},
     Switch,
     Options,
     "  /C[ONTINUE]  Continue past directories that cannot be read",
     SetFlag<&O::Continue>},
    {{"/UTF8"},
     Switch,
     Options,
     "  /UTF8  Write file names and every text in UTF-8",
     SetFlag<&O::Utf8>},
    {{"/BAT", "/BATCH"},
     Switch,
     Options,
     "  /BAT[CH]  LIST lines for a batch file: % doubled, the console's code page",
     SetFlag<&O::Batch>},
    {{"/NP", "/NOPROGRESS"},
     Switch,
     Options,
     "  /NP, /NOPROGRESS  No progress line on a terminal while scanning",
     SetFlag<&O::NoProgress>},
    {{"/O", "/ORDER"},
     Value,
     Options,
     "  /O[RDER]:N|E|S|D|G  Sort each directory by Name, Ext, Size, Date; G directories first;\r\n"
     "     - before a letter reverses it; letters combine (/O:G-D)",
     ReadOrder},
    {{"/TOP"},
     Value,
     Options,
     "  /TOP:N  Only the first N entries; with /O the first N of the whole tree in that order",
     ReadTop},
    {{"/I", "/IGNORECASE"},
     Switch,
     Options,
     "  /I[GNORECASE]  /M, /X and /O:N ignore letter case (as they always do on Windows)",
     IgnoreCase},
    {{"/0", "/NUL"},
     Switch,
     Options,
     "  /0, /NUL  End LIST lines with NUL; names exactly as stored, not quoted",
     SetFlag<&O::Nul>},
    {{"/JSON", "/CSV"},
     Switch,
     Options,
     "  /JSON  LIST and DIR as JSON Lines, one object per entry (path rel name ext type size\r\n"
     "     mtime attr depth, raw: the path in base64 when not UTF-8); STAT as one object\r\n"
     "  /CSV  The same fields as CSV columns under a header row (not with DIR /P /S /LINE /0)",
     ReadRecords},
    {{"/H", "/HUMAN"},
     Switch,
     Options,
     "  /H[UMAN]  DU sizes as people read them (1.2 GiB)",
     SetFlag<&O::Human>},
    {{"/ALLOC"},
     Switch,
     Options,
     "  /ALLOC  DU counts allocated size (blocks) instead of apparent size",
     SetFlag<&O::Alloc>},
    {{"/XDEV"},
     Switch,
     Options,
     "  /XDEV  DU stays on the file system of DIRECTORY",
     SetFlag<&O::Xdev>},
    {{"/TREE"},
     Switch,
     Options,
     "  /TREE  DU draws the directories down to /LEV (2 by default) as a tree, largest first",
     SetFlag<&O::Tree>},
    {{"/NCDU"},
     Switch,
     Options,
     "  /NCDU  DU as ncdu's JSON export, which ncdu -f and gdu -f load",
     SetFlag<&O::Ncdu>},
    {{"/P", "/PREFIX"},
     EqualsValue,
     Options,
     "  /P(REFIX)=VALUE[%ENV%,$MACRO]  Prefix value",
     ReadPrefix},
    {{"/S", "/SUFFIX"},
     EqualsValue,
     Options,
     "  /S(UFFIX)=VALUE[%ENV%,$MACRO]  Suffix value",
     ReadSuffix},
    {{"/LINE"},
     Value,
     Options,
     "  /LINE=VALUE[%ENV%,$MACRO]  The whole LIST line (not with /P or /S)\r\n"
     "     %ENV%  System environment variable\r\n"
     "     MACRO",
     ReadLine},
    {{"/M", "/MATCH"},
     Value,
     Choosing,
     "  /M[ATCH]:PATTERN[;...]  List only names matching a pattern (* any run, ? one character)",
     ReadFilter<&Choice::AddMatch>},
    {{"/X", "/EXCLUDE"},
     Value,
     Choosing,
     "  /X|/EXCLUDE:PATTERN[;...]  Omit matching names, never entering them (a\\b: a path)",
     ReadFilter<&Choice::AddExclude>},
    {{"/LEV", "/LEVELS"},
     Value,
     Choosing,
     "  /LEV[ELS]:N  List N levels (1 = DIRECTORY's own entries), implies /R",
     ReadLevels},
    {{"/MAXAGE"},
     Value,
     Choosing,
     "  /MAXAGE:N  Only entries written in the last N days, or since date YYYYMMDD",
     ReadAge<&Choice::AddNewest>},
    {{"/MINAGE"},
     Value,
     Choosing,
     "  /MINAGE:N  Only entries written before N days ago, or before date YYYYMMDD",
     ReadAge<&Choice::AddOldest>},
    {{"/MIN"},
     Value,
     Choosing,
     "  /MIN:N[K|M|G|T[B|iB]]  Only entries of at least N bytes (K, KiB 1024; KB 1000;\r\n"
     "     directories count 0)",
     ReadFilter<&Choice::AddMinSize>},
    {{"/MAX"},
     Value,
     Choosing,
     "  /MAX:N[K|M|G|T[B|iB]]  Only entries of at most N bytes",
     ReadFilter<&Choice::AddMaxSize>},
    {{"/A"},
     Value,
     Choosing,
     "  /A:[-]DHSRALE  Only with attributes (- without): Dir Hidden System Readonly Archive "
     "Link\r\n"
     "     Empty (a file of 0 bytes, a directory of no entries)",
     ReadFilter<&Choice::AddAttributes>},
    // Asks for the usage text anywhere; read before everything else.
    {{"/?"}, Switch, Hidden, "", Nothing},
};

}  // namespace

std::span<const OptionRow> OptionTable() {
  return kOptions;
}

}  // namespace tvx
