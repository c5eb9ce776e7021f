#include "Choice.h"

#include <algorithm>

#include "CommandLine.h"
#include "Failure.h"
#include "Pattern.h"
#include "Switches.h"

namespace tvx {

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;
// Below this a number of days, from it on a date.
constexpr std::uint64_t kFirstYear = 1900;

bool ParseDigits(std::string_view text, std::uint64_t& value) {
  if (text.empty() || text.size() > 18) return false;  // 18 digits cannot overflow
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

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

bool ParseSize(std::string_view text, std::uint64_t& bytes) {
  int shift = 0;
  if (!text.empty()) {
    const std::string_view units = "KMGT";
    const char last = text.back();
    const std::size_t unit = units.find(last >= 'a' && last <= 'z' ? last - 'a' + 'A' : last);
    if (unit != std::string_view::npos) {
      shift = 10 * static_cast<int>(unit + 1);
      text.remove_suffix(1);
    }
  }
  std::uint64_t value = 0;
  if (!ParseDigits(text, value) || value > (UINT64_MAX >> shift)) return false;
  bytes = value << shift;
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

Choice Choice::Read(const std::vector<std::string>& params, TDateTime now, PathStyle style,
                    const CodePage& code) {
  Choice choice;
  choice.style_ = style;
  // POSIX names are UTF-8 by convention, whatever the locale says.
  choice.code_ = style == PathStyle::Posix ? CodePage::Utf8() : code;
  // Windows names ignore letter case already, as the system compares them.
  if (style == PathStyle::Windows)
    choice.nameCase_ = LetterCase::Ascii;
  else if (FindSwitch(params, {"/I", "/IGNORECASE"}) > 0)
    choice.nameCase_ = LetterCase::Unicode;
  choice.ReadPatterns(params);
  choice.ReadNumbers(params, now);
  choice.ReadAttributes(params);
  return choice;
}

void Choice::ReadPatterns(const std::vector<std::string>& params) {
  for (const SwitchValue& option : SwitchValues(params, {"/M", "/MATCH"})) {
    for (std::string& pattern : SplitList(option.Value)) {
      if (pattern.empty()) throw InvalidValueFailure(option.Typed);
      matched_.push_back(std::move(pattern));
    }
  }
  for (const SwitchValue& option : SwitchValues(params, {"/X", "/EXCLUDE"})) {
    for (const std::string& pattern : SplitList(option.Value)) {
      if (!IsPathPattern(pattern, style_, code_)) {
        if (pattern.empty()) throw InvalidValueFailure(option.Typed);
        excludedNames_.push_back(pattern);
        continue;
      }
      std::string path = PathPattern(pattern, style_, code_);
      if (path.empty()) throw InvalidValueFailure(option.Typed);
      excludedPaths_.push_back(std::move(path));
    }
  }
}

// Given more than once, every value must hold: the strictest one counts.
void Choice::ReadNumbers(const std::vector<std::string>& params, TDateTime now) {
  for (const SwitchValue& option : SwitchValues(params, {"/LEV", "/LEVELS"})) {
    std::uint32_t levels = 0;
    if (!ParseLevels(option.Value, levels)) throw InvalidValueFailure(option.Typed);
    levels_ = levels_ == 0 ? levels : std::min(levels_, levels);
  }
  for (const SwitchValue& option : SwitchValues(params, {"/MAXAGE"})) {
    TDateTime moment = 0;
    if (!ParseAge(option.Value, now, moment)) throw InvalidValueFailure(option.Typed);
    notBefore_ = hasNewest_ ? std::max(notBefore_, moment) : moment;
    hasNewest_ = true;
  }
  for (const SwitchValue& option : SwitchValues(params, {"/MINAGE"})) {
    TDateTime moment = 0;
    if (!ParseAge(option.Value, now, moment)) throw InvalidValueFailure(option.Typed);
    before_ = hasOldest_ ? std::min(before_, moment) : moment;
    hasOldest_ = true;
  }
  for (const SwitchValue& option : SwitchValues(params, {"/MIN"})) {
    std::uint64_t bytes = 0;
    if (!ParseSize(option.Value, bytes)) throw InvalidValueFailure(option.Typed);
    minSize_ = std::max(minSize_, bytes);
  }
  for (const SwitchValue& option : SwitchValues(params, {"/MAX"})) {
    std::uint64_t bytes = 0;
    if (!ParseSize(option.Value, bytes)) throw InvalidValueFailure(option.Typed);
    maxSize_ = std::min(maxSize_, bytes);
  }
}

void Choice::ReadAttributes(const std::vector<std::string>& params) {
  constexpr std::string_view kLetters = "DHSRALE";
  for (const SwitchValue& option : SwitchValues(params, {"/A"})) {
    const std::string_view value = option.Value;
    if (value.empty()) throw InvalidValueFailure(option.Typed);
    for (std::size_t i = 0; i < value.size(); ++i) {
      const bool negated = value[i] == '-';
      if (negated && ++i == value.size()) throw InvalidValueFailure(option.Typed);
      const char c = value[i];
      const std::size_t letter = kLetters.find(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
      if (letter == std::string_view::npos) throw InvalidValueFailure(option.Typed);
      (negated ? refused_ : required_) |= 1u << letter;
    }
  }
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

bool Choice::Excluded(std::string_view name, std::string_view relativePath) const {
  return MatchesAny(excludedNames_, name) ||
         (!excludedPaths_.empty() && MatchesAny(excludedPaths_, relativePath));
}

unsigned Choice::AttributesOf(const EntryFacts& entry) {
  // Empty: a file of no bytes or a directory of no entries; a link never is.
  const bool empty = !entry.IsLink && (entry.IsDir ? entry.EmptyDir : entry.Size == 0);
  return (empty ? kEmpty : 0) | (entry.IsDir ? kDir : 0) | (entry.Hidden ? kHidden : 0) |
         (entry.System ? kSystem : 0) | (entry.ReadOnly ? kReadOnly : 0) |
         (entry.Archive ? kArchive : 0) | (entry.IsLink ? kLink : 0);
}

bool Choice::Lists(const EntryFacts& entry) const {
  if (!matched_.empty() && !MatchesAny(matched_, entry.Name)) return false;
  if (hasNewest_ && entry.Time < notBefore_) return false;
  if (hasOldest_ && entry.Time >= before_) return false;
  if (entry.Size < minSize_ || entry.Size > maxSize_) return false;
  const unsigned attributes = AttributesOf(entry);
  return (attributes & required_) == required_ && (attributes & refused_) == 0;
}

}  // namespace tvx
