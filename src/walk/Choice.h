// Which entries a run lists and which directories it enters: the filters of
// the command line, read once, then asked per entry. Pure logic.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DirSource.h"
#include "text/CaseFold.h"
#include "text/Locale.h"
#include "text/Paths.h"
#include "text/Text.h"

namespace tvx {

class Choice {
 public:
  // No filter: every entry listed, every directory entered. code cuts
  // Windows names into characters (POSIX names are taken as UTF-8).
  Choice(PathStyle style = PathStyle::Posix, const CodePage& code = CodePage());

  // Each filter's value as the command line gives it, one option at a time;
  // given more than once, every value must hold. A bad value raises
  // InvalidValueFailure naming the option as typed. now is the local time
  // that ages count back from.
  void IgnoreCase();
  void AddMatch(std::string_view value, const std::string& typed);
  void AddExclude(std::string_view value, const std::string& typed);
  void AddLevels(std::string_view value, const std::string& typed);
  void AddNewest(std::string_view value, const std::string& typed, TDateTime now);
  void AddOldest(std::string_view value, const std::string& typed, TDateTime now);
  void AddMinSize(std::string_view value, const std::string& typed);
  void AddMaxSize(std::string_view value, const std::string& typed);
  void AddAttributes(std::string_view value, const std::string& typed);

  // Levels listed, 1 being the directory's own entries; 0 when unlimited.
  std::uint32_t Levels() const { return levels_; }
  // The same choice entering every level (DU counts the whole tree, and
  // its levels limit only the lines).
  Choice WithoutLevels() const {
    Choice all = *this;
    all.levels_ = 0;
    return all;
  }
  // Whether sizes, times or the owner's write permission are asked.
  bool NeedsDetails() const;
  // Whether Excluded wants the entry's path relative to the listed directory.
  bool HasPathPatterns() const { return !excludedPaths_.empty(); }
  // Left out, and never entered when a directory. relativePath uses the
  // scanned system's separator; it may be empty when !HasPathPatterns().
  // Inline, and settled at once without patterns: asked of every entry read.
  bool Excluded(std::string_view name, std::string_view relativePath) const {
    return !(excludedNames_.empty() && excludedPaths_.empty()) &&
           ExcludedByPattern(name, relativePath);
  }
  // Whether a subdirectory found at level (1: in the scanned directory) is
  // entered by its name and level; a path pattern may still exclude it.
  bool Enters(std::string_view name, std::uint32_t level) const {
    return (levels_ == 0 || level < levels_) && !MatchesAny(excludedNames_, name);
  }
  // Whether an entry that is not excluded is listed, as the directory read
  // reports it; emptyDir: a directory known to hold no entries at all.
  bool Lists(const RawEntry& entry, bool emptyDir = false) const {
    return listsAll_ || Filtered(entry, emptyDir);
  }
  // No filter and no exclusion: every entry read is listed.
  bool ListsEverything() const {
    return listsAll_ && excludedNames_.empty() && excludedPaths_.empty();
  }
  // Whether Lists looks at EmptyDir, which is known only once the
  // directory has been read.
  bool AsksEmptiness() const { return ((required_ | refused_) & kEmpty) != 0; }
  // How names compare in patterns and in the order (/I folds letter case).
  LetterCase NameCase() const { return nameCase_; }

 private:
  // Bits in the order of the letters D H S R A L E.
  static constexpr unsigned kDir = 1, kHidden = 2, kSystem = 4, kReadOnly = 8, kArchive = 16,
                            kLink = 32, kEmpty = 64;
  bool MatchesAny(const std::vector<std::string>& patterns, std::string_view text) const;
  bool ExcludedByPattern(std::string_view name, std::string_view relativePath) const;
  bool Filtered(const RawEntry& entry, bool emptyDir) const;
  static unsigned AttributesOf(const RawEntry& entry, bool emptyDir);

  PathStyle style_ = PathStyle::Posix;
  CodePage code_;
  LetterCase nameCase_ = LetterCase::Exact;
  std::vector<std::string> matched_;
  std::vector<std::string> excludedNames_;
  std::vector<std::string> excludedPaths_;
  std::uint32_t levels_ = 0;
  bool hasNewest_ = false, hasOldest_ = false;
  TDateTime notBefore_ = 0;  // /MAXAGE: written at or after
  TDateTime before_ = 0;     // /MINAGE: written before
  std::uint64_t minSize_ = 0;
  std::uint64_t maxSize_ = UINT64_MAX;
  unsigned required_ = 0, refused_ = 0;
  bool listsAll_ = true;  // no filter but the exclusions was given
};

// The parts of a value, or false when it is malformed; pure helpers of Read.
bool ParseLevels(std::string_view text, std::uint32_t& levels);
bool ParseSize(std::string_view text, std::uint64_t& bytes);
// A day count below 1900 counts back from now; otherwise YYYYMMDD, local midnight.
bool ParseAge(std::string_view text, TDateTime now, TDateTime& moment);

}  // namespace tvx
