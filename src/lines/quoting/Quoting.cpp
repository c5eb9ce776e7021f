#include "Quoting.h"

namespace tvx {

bool NeedsQuotes(std::string_view name, QuoteRule rule, const CodePage& code) {
  const std::array<bool, 256>& special = QuoteSpecialBytes(rule);
  if (!code.IsMultiByte()) {
    // Four bytes a turn, tested together: whole paths are asked, and most
    // hold nothing that needs quotes until their last part.
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return static_cast<unsigned>(special[bytes[k]]); };
    for (; i + 4 <= name.size(); i += 4) {
      if ((at(i) | at(i + 1) | at(i + 2) | at(i + 3)) != 0) return true;
    }
    for (; i < name.size(); ++i) {
      if (special[bytes[i]]) return true;
    }
    return false;
  }
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = code.CharLength(name, i);
    if (length == 1 && special[static_cast<unsigned char>(name[i])]) return true;
    i += length;
  }
  return false;
}

namespace {
// The quote marks a word's pieces point at: they outlive every line.
constexpr char kDoubleQuote = '"';
constexpr char kSingleQuote = '\'';
}  // namespace

char QuoteChar(QuoteRule rule) {
  return rule == QuoteRule::CommandPrompt ? '"' : '\'';
}

void AppendQuoted(std::string& out, std::string_view name, QuoteRule rule) {
  // No trail byte is below 0x40, so a quote byte is always a quote character.
  const char quote = QuoteChar(rule);
  const std::string_view escaped = rule == QuoteRule::CommandPrompt ? "\"\"" : "'\\''";
  out.reserve(out.size() + name.size() + 2);
  out += quote;
  for (std::size_t start = 0;;) {
    const std::size_t at = name.find(quote, start);
    if (at == std::string_view::npos) {
      out.append(name.substr(start));
      break;
    }
    out.append(name.substr(start, at - start));
    out.append(escaped);
    start = at + 1;
  }
  out += quote;
}

QuoteNeeds QuoteNeedsOf(std::string_view text, QuoteRule rule, const CodePage& code) {
  return {NeedsQuotes(text, rule, code), text.find(QuoteChar(rule)) != std::string_view::npos};
}

WordPieces QuotedPieces(std::string_view dir, const QuoteNeeds& dirNeeds, std::string_view name,
                        const WordForm& form, const CodePage& code, std::string& buffer,
                        bool nameQuiet) {
  const char& quote = form.Rule == QuoteRule::CommandPrompt ? kDoubleQuote : kSingleQuote;
  const bool quoted =
      form.Quote && (dirNeeds.Quotes || (!nameQuiet && NeedsQuotes(name, form.Rule, code)));
  // Only a quoted word needs its quote characters escaped (a quiet name holds none).
  const bool escaped = quoted && (dirNeeds.HasQuoteChar ||
                                  (!nameQuiet && name.find(quote) != std::string_view::npos));
  if (!form.Upper && !form.Lower && !escaped) {
    const std::string_view mark = quoted ? std::string_view(&quote, 1) : std::string_view();
    return {mark, dir, name, mark};
  }
  buffer.assign(dir);
  buffer.append(name);
  if (form.Upper) UpperAscii(buffer, code);
  if (form.Lower) LowerAscii(buffer, code);
  if (quoted) {
    std::string word;
    AppendQuoted(word, buffer, form.Rule);
    buffer.swap(word);
  }
  return {buffer};
}

void AppendValue(std::string& out, std::string_view value, bool doublePercent) {
  if (!doublePercent) {
    out.append(value);
    return;
  }
  for (char c : value) {
    out += c;
    if (c == '%') out += '%';
  }
}

// The value inside the user's double quotes for sh: what sh would expand
// there is escaped, and a "}" where it would end "${V:-...}".
void AppendForDoubleQuotes(std::string& out, std::string_view value, bool brace) {
  for (char c : value) {
    if (c == '$' || c == '`' || c == '"' || c == '\\' || (brace && c == '}')) out += '\\';
    out += c;
  }
}

// The value inside the user's single quotes for sh: each "'" closes them,
// gives a quote, and opens them again.
void AppendForSingleQuotes(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c == '\'') {
      out.append("'\\''");
    } else {
      out += c;
    }
  }
}

// Backslashes before a closing double quote: the C runtime reads "\"" as a
// quote, so each is doubled to stay a backslash (cmd ignores the doubling).
// Counted by characters: a double-byte character's trail byte 0x5C is none.
void DoubleTrailingBackslashes(std::string& out, std::size_t from, const CodePage& code) {
  std::size_t count = 0;
  if (!code.IsMultiByte()) {
    while (out.size() - count > from && out[out.size() - 1 - count] == '\\') ++count;
  } else {
    for (std::size_t i = from; i < out.size();) {
      const std::size_t length = code.CharLength(out, i);
      count = length == 1 && out[i] == '\\' ? count + 1 : 0;
      i += length;
    }
  }
  out.append(count, '\\');
}

// A value bash's brace expansion would cut inside the user's "{...}".
bool SplitByBraces(std::string_view value) {
  return value.find(',') != std::string_view::npos || value.find("..") != std::string_view::npos;
}

// The user's text of a word that cmd gets in one pair of quotes: "^" escapes
// are taken out, so that the program still gets the character escaped.
void AppendUnescaped(std::string& out, std::string_view text, const CodePage& code) {
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '^' && i + 1 < text.size()) ++i;
    const std::size_t length = code.CharLength(text, i);
    out.append(text.substr(i, length));
    i += length;
  }
}

}  // namespace tvx
