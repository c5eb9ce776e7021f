// Quoting for the shell the lines are for, in one place: how a name is made
// one word (the rule's quotes, its letters mapped), and how a value is
// written inside the quotes the user's own text opened. Pure routines.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "text/Text.h"

namespace tvx {

// Whether rule wants name quoted: one pass, no allocation. Only whole
// characters count, so a trail byte never asks for quotes.
bool NeedsQuotes(std::string_view name, QuoteRule rule, const CodePage& code);
// The character that rule puts around a name (and escapes inside it).
char QuoteChar(QuoteRule rule);
// Appends name in rule's quotes, its own quote characters escaped.
void AppendQuoted(std::string& out, std::string_view name, QuoteRule rule);

// How a name is written as one word of a command line: its ASCII letters
// mapped (lower case wins over upper), then quoted when the rule wants it.
struct WordForm {
  QuoteRule Rule = QuoteRule::PosixShell;
  bool Quote = true;  // false where the user asked for no quotes
  bool Upper = false;
  bool Lower = false;
};

// What quoting must know of a text, worked out once for a directory that
// many names share.
struct QuoteNeeds {
  bool Quotes = false;        // the rule wants the word quoted
  bool HasQuoteChar = false;  // it holds the rule's quote character
};
QuoteNeeds QuoteNeedsOf(std::string_view text, QuoteRule rule, const CodePage& code);

// A word in up to four pieces, written in turn: a quote, a directory, a
// name, a quote. Empty pieces write nothing.
using WordPieces = std::array<std::string_view, 4>;

// dir + name as form writes them, dirNeeds being QuoteNeedsOf(dir). Where
// only quote marks are added, the pieces are dir and name themselves;
// otherwise the word is made in buffer, which must outlive the pieces.
// nameQuiet: the name is known to need no quotes (IsQuietName).
WordPieces QuotedPieces(std::string_view dir, const QuoteNeeds& dirNeeds, std::string_view name,
                        const WordForm& form, const CodePage& code, std::string& buffer,
                        bool nameQuiet = false);

// A value in a batch file's text: each "%" doubled where doublePercent.
void AppendValue(std::string& out, std::string_view value, bool doublePercent);

// The value inside the user's double quotes for sh: what sh would expand
// there is escaped, and a "}" where it would end "${V:-...}" (brace).
void AppendForDoubleQuotes(std::string& out, std::string_view value, bool brace = false);

// The value inside the user's single quotes for sh: each "'" closes them,
// gives a quote, and opens them again.
void AppendForSingleQuotes(std::string& out, std::string_view value);

// Backslashes before a closing double quote, counted from out[from], doubled:
// the C runtime reads "\"" as a quote (cmd ignores the doubling).
void DoubleTrailingBackslashes(std::string& out, std::size_t from, const CodePage& code);

// A value bash's brace expansion would cut inside the user's "{...}".
bool SplitByBraces(std::string_view value);

// The user's text of a word that cmd gets in one pair of quotes, its "^"
// escapes taken out.
void AppendUnescaped(std::string& out, std::string_view text, const CodePage& code);

}  // namespace tvx
