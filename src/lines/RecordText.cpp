#include "RecordText.h"

namespace tvx {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsControl(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F;
}

// Whether the eight bytes hold no control byte and neither a nor b (ASCII
// both: a byte of 0x80 or above is none of them).
bool NoneOf(std::uint64_t word, unsigned char a, unsigned char b) {
  using namespace word_bytes;
  return !AnyBelow(word, 0x20) && !AnyEqual(word, 0x7F) && !AnyEqual(word, a) && !AnyEqual(word, b);
}
// Eight bytes a JSON string holds as they are.
bool JsonPlainWord(std::uint64_t word) {
  return !word_bytes::AnyHigh(word) && NoneOf(word, '"', '\\');
}

// Appends text with every invalid sequence replaced; false when one was.
bool AppendReplaced(std::string& out, std::string_view text) {
  bool exact = true;
  std::size_t at = 0;
  while (at < text.size()) {
    // ASCII goes in by runs: most names are nothing else.
    const std::size_t end = at + AsciiPrefixLength(text.substr(at));
    out.append(text.substr(at, end - at));
    if (end == text.size()) break;
    at = end;
    bool valid = true;
    const std::size_t step = Utf8Step(text, at, valid);
    if (valid) {
      out.append(text.substr(at, step));
    } else {
      out.append(kReplacement);
      exact = false;
    }
    at += step;
  }
  return exact;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t at = AsciiPrefixLength(text); at < text.size();) {
    bool valid = true;
    at += Utf8Step(text, at, valid);
    if (!valid) return false;
  }
  return true;
}

bool AppendJsonText(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  bool exact = true;
  std::size_t at = 0;
  while (at < text.size()) {
    // Runs of plain ASCII go in whole: most names are nothing else.
    std::size_t end = at;
    while (end + 8 <= text.size() && JsonPlainWord(word_bytes::Load(text.data() + end))) end += 8;
    while (end < text.size()) {
      const auto c = static_cast<unsigned char>(text[end]);
      if (c >= 0x80 || IsControl(c) || c == '"' || c == '\\') break;
      ++end;
    }
    out.append(text.substr(at, end - at));
    if (end == text.size()) break;
    const auto c = static_cast<unsigned char>(text[end]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      at = end + 1;
    } else if (IsControl(c)) {
      out.append("\\u00");
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
      at = end + 1;
    } else {
      bool valid = true;
      const std::size_t step = Utf8Step(text, end, valid);
      out.append(valid ? text.substr(end, step) : kReplacement);
      exact = exact && valid;
      at = end + step;
    }
  }
  return exact;
}

namespace {
bool NeedsCsvQuotes(std::string_view text) {
  std::size_t at = 0;
  while (at + 8 <= text.size() && NoneOf(word_bytes::Load(text.data() + at), ',', '"')) at += 8;
  for (const char c : text.substr(at)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == ',' || byte == '"' || IsControl(byte)) return true;
  }
  return false;
}
}  // namespace

bool AppendCsvField(std::string& out, std::string_view text) {
  const bool quoted =
      !text.empty() && (text.front() == ' ' || text.back() == ' ' || NeedsCsvQuotes(text));
  if (!quoted) return AppendReplaced(out, text);
  out += '"';
  bool exact = true;
  for (std::size_t quote = text.find('"');; quote = text.find('"')) {
    exact = AppendReplaced(out, text.substr(0, quote)) && exact;
    if (quote == std::string_view::npos) break;
    out.append("\"\"");
    text.remove_prefix(quote + 1);
  }
  out += '"';
  return exact;
}

bool IsPlainCsv(std::string_view dir) {
  return dir.empty() || (dir.front() != ' ' && !NeedsCsvQuotes(dir) && IsValidUtf8(dir));
}

bool AppendCsvPath(std::string& out, std::string_view dir, bool dirPlain, std::string_view name,
                   std::string& scratch) {
  // An empty dir leaves the name to begin the field.
  if (dirPlain && !name.empty() && name.back() != ' ' && (!dir.empty() || name.front() != ' ') &&
      !NeedsCsvQuotes(name)) {
    out.append(dir);
    return AppendReplaced(out, name);
  }
  scratch.assign(dir).append(name);
  return AppendCsvField(out, scratch);
}

void AppendBase64(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                       static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kDigits[(v >> shift) & 0x3F];
  }
  const std::size_t left = bytes.size() - i;
  if (left == 0) return;
  unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
  if (left == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
  out += kDigits[v >> 18];
  out += kDigits[(v >> 12) & 0x3F];
  out += left == 2 ? kDigits[(v >> 6) & 0x3F] : '=';
  out += '=';
}

void AppendNumber(std::string& out, std::uint64_t value) {
  char digits[20];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out += digits[--n];
}

void AppendUtcStamp(std::string& out, TDateTime utc) {
  DateParts p = SplitDateTime(utc);
  // Four digits of year: the last four of a year no file reaches.
  p.Year = static_cast<int>(static_cast<unsigned>(p.Year) % 10000);
  // Made whole, then appended at once: every record has one.
  char stamp[kStampSize + 1];
  PutStamp(stamp, p, '-', 'T', ':');
  stamp[kStampSize] = 'Z';
  out.append(stamp, sizeof stamp);
}

}  // namespace tvx
