#include "Choice.h"

#include <algorithm>

#include "text/CommandLine.h"
#include "text/Failure.h"
#include "text/Pattern.h"

namespace tvx {

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;
// Below this a number of days, from it on a date.
constexpr std::uint64_t kFirstYear = 1900;

// Whether the pattern names a path: it holds a separator of the system,
// as a whole character (a trail byte 0x5C is none).
bool IsPathPattern(std::string_view pattern, PathStyle style, const CodePage& code) {
  for (std::size_t i = 0; i < pattern.size(); i += code.CharLength(pattern, i)) {
    if (pattern[i] == '/' || (style == PathStyle::Windows && pattern[i] == '\\')) return true;
  }
  return false;
}

// A path pattern in the form relative paths take: the system's separator,
// none at either end ("/build" is the listed directory's own build).
std::string PathPattern(std::string_view pattern, PathStyle style, const CodePage& code) {
  std::string path(pattern);
  if (style == PathStyle::Windows) std::replace(path.begin(), path.end(), '/', '\\');
  const char sep = Separator(style);
  while (!path.empty() && path.front() == sep) path.erase(path.begin());
  while (!path.empty() && EndsWithChar(path, sep, code)) path.pop_back();
  return path;
}

}  // namespace

bool ParseLevels(std::string_view text, std::uint32_t& levels) {
  std::uint64_t value = 0;
  if (!ParseDigits(text, value) || value == 0 || value > UINT32_MAX / 2) return false;
  levels = static_cast<std::uint32_t>(value);
  return true;
}

namespace {

// The unit after a size's digits, as people write them: K, M, G, T and KiB,
// MiB, GiB, TiB are powers of 1024, KB, MB, GB, TB powers of 1000, in any
// letter case. False for anything else.
bool SizeUnit(std::string_view unit, std::uint64_t& base, int& power) {
  if (unit.empty()) {
    power = 0;
    return true;
  }
  const char first = unit.front();
  const std::size_t letter =
      std::string_view("KMGT").find(first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first);
  if (letter == std::string_view::npos) return false;
  power = static_cast<int>(letter) + 1;
  const std::string_view rest = unit.substr(1);
  if (rest.empty() || EqualIgnoringAsciiCase(rest, "iB")) {
    base = 1024;
    return true;
  }
  base = 1000;
  return EqualIgnoringAsciiCase(rest, "B");
}

}  // namespace

bool ParseSize(std::string_view text, std::uint64_t& bytes) {
  const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
  std::uint64_t base = 1024, value = 0;
  int power = 0;
  if (!SizeUnit(text.substr(digits), base, power) || !ParseDigits(text.substr(0, digits), value))
    return false;
  for (int i = 0; i < power; ++i) {
    if (value > UINT64_MAX / base) return false;
    value *= base;
  }
  bytes = value;
  return true;
}

bool ParseAge(std::string_view text, TDateTime now, TDateTime& moment) {
  std::uint64_t value = 0;
  if (!ParseDigits(text, value)) return false;
  if (value < kFirstYear) {
    moment = now - static_cast<TDateTime>(value) * kSecondsPerDay;
    return true;
  }
  if (text.size() != 8) return false;
  const int year = static_cast<int>(value / 10000);
  const int month = static_cast<int>(value / 100 % 100);
  const int day = static_cast<int>(value % 100);
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  moment = MakeDateTime(year, month, day, 0, 0, 0);
  // A day past the month's end comes back as another date.
  const DateParts parts = SplitDateTime(moment);
  return parts.Year == year && parts.Month == month && parts.Day == day;
}

Choice::Choice(PathStyle style, const CodePage& code)
    : style_(style),
      // POSIX names are UTF-8 by convention, whatever the locale says.
      code_(style == PathStyle::Posix ? CodePage::Utf8() : code),
      // Windows names ignore letter case already, as the system compares them.
      nameCase_(style == PathStyle::Windows ? LetterCase::Ascii : LetterCase::Exact) {}

void Choice::IgnoreCase() {
  if (style_ == PathStyle::Posix) nameCase_ = LetterCase::Unicode;
}

void Choice::AddMatch(std::string_view value, const std::string& typed) {
  for (std::string& pattern : SplitList(value)) {
    if (pattern.empty()) throw InvalidValueFailure(typed);
    matched_.push_back(std::move(pattern));
    listsAll_ = false;
  }
}

void Choice::AddExclude(std::string_view value, const std::string& typed) {
  for (const std::string& pattern : SplitList(value)) {
    if (!IsPathPattern(pattern, style_, code_)) {
      if (pattern.empty()) throw InvalidValueFailure(typed);
      excludedNames_.push_back(pattern);
      continue;
    }
    std::string path = PathPattern(pattern, style_, code_);
    if (path.empty()) throw InvalidValueFailure(typed);
    excludedPaths_.push_back(std::move(path));
  }
}

// Given more than once, the strictest value counts.
void Choice::AddLevels(std::string_view value, const std::string& typed) {
  std::uint32_t levels = 0;
  if (!ParseLevels(value, levels)) throw InvalidValueFailure(typed);
  levels_ = levels_ == 0 ? levels : std::min(levels_, levels);
}

void Choice::AddNewest(std::string_view value, const std::string& typed, TDateTime now) {
  TDateTime moment = 0;
  if (!ParseAge(value, now, moment)) throw InvalidValueFailure(typed);
  notBefore_ = hasNewest_ ? std::max(notBefore_, moment) : moment;
  hasNewest_ = true;
  listsAll_ = false;
}

void Choice::AddOldest(std::string_view value, const std::string& typed, TDateTime now) {
  TDateTime moment = 0;
  if (!ParseAge(value, now, moment)) throw InvalidValueFailure(typed);
  before_ = hasOldest_ ? std::min(before_, moment) : moment;
  hasOldest_ = true;
  listsAll_ = false;
}

void Choice::AddMinSize(std::string_view value, const std::string& typed) {
  std::uint64_t bytes = 0;
  if (!ParseSize(value, bytes)) throw InvalidValueFailure(typed);
  minSize_ = std::max(minSize_, bytes);
  listsAll_ = false;
}

void Choice::AddMaxSize(std::string_view value, const std::string& typed) {
  std::uint64_t bytes = 0;
  if (!ParseSize(value, bytes)) throw InvalidValueFailure(typed);
  maxSize_ = std::min(maxSize_, bytes);
  listsAll_ = false;
}

void Choice::AddAttributes(std::string_view value, const std::string& typed) {
  constexpr std::string_view kLetters = "DHSRALE";
  if (value.empty()) throw InvalidValueFailure(typed);
  for (std::size_t i = 0; i < value.size(); ++i) {
    const bool negated = value[i] == '-';
    if (negated && ++i == value.size()) throw InvalidValueFailure(typed);
    const char c = value[i];
    const std::size_t letter = kLetters.find(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (letter == std::string_view::npos) throw InvalidValueFailure(typed);
    (negated ? refused_ : required_) |= 1u << letter;
  }
  listsAll_ = false;
}

bool Choice::NeedsDetails() const {
  return hasNewest_ || hasOldest_ || minSize_ != 0 || maxSize_ != UINT64_MAX ||
         ((required_ | refused_) & (kReadOnly | kEmpty)) != 0;
}

bool Choice::MatchesAny(const std::vector<std::string>& patterns, std::string_view text) const {
  for (const std::string& pattern : patterns) {
    if (MatchesPattern(pattern, text, code_, nameCase_)) return true;
  }
  return false;
}

bool Choice::ExcludedByPattern(std::string_view name, std::string_view relativePath) const {
  return MatchesAny(excludedNames_, name) ||
         (!excludedPaths_.empty() && MatchesAny(excludedPaths_, relativePath));
}

unsigned Choice::AttributesOf(const RawEntry& entry, bool emptyDir) {
  // Empty: a file of no bytes or a directory of no entries; a link never is.
  const bool empty = !entry.IsLink && (entry.IsDir ? emptyDir : entry.Size == 0);
  return (empty ? kEmpty : 0) | (entry.IsDir ? kDir : 0) | (entry.Hidden ? kHidden : 0) |
         (entry.System ? kSystem : 0) | (entry.ReadOnly ? kReadOnly : 0) |
         (entry.Archive ? kArchive : 0) | (entry.IsLink ? kLink : 0);
}

bool Choice::Filtered(const RawEntry& entry, bool emptyDir) const {
  // Patterns match the entry's own long name, also where a short one stands in.
  const std::string_view own = entry.OwnName();
  if (!matched_.empty() && !MatchesAny(matched_, own)) return false;
  if (hasNewest_ && entry.DateTime < notBefore_) return false;
  if (hasOldest_ && entry.DateTime >= before_) return false;
  const std::uint64_t size = entry.IsDir || entry.IsLink ? 0 : entry.Size;
  if (size < minSize_ || size > maxSize_) return false;
  const unsigned attributes = AttributesOf(entry, emptyDir);
  return (attributes & required_) == required_ && (attributes & refused_) == 0;
}

}  // namespace tvx
