// Every option of the command line, one row each: its spellings, its kind,
// its usage line and the routine that reads its values into the run state.
// Recognition, value reading, unknown options, implications and the usage
// text all come from the table. Pure logic, tested on every platform.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lines/Options.h"
#include "text/Locale.h"
#include "text/Paths.h"

namespace tvx {

enum class OptionKind : std::uint8_t {
  Switch,       // stands alone: "/R"
  Value,        // a value after ":" or "=": "/M:*.txt"; alone it is a bad value
  EqualsValue,  // a value after "=" only: "/P=copy"; alone an empty value
};

// Where a row's usage line stands; Hidden rows have none of their own.
enum class OptionGroup : std::uint8_t { Options, Choosing, Hidden };

// One option as typed, its value, and which of its row's spellings it used.
struct OptionUse {
  std::string Typed;
  std::string Value;
  std::size_t Spelling = 0;
};

// What reading values needs besides the command line: the moment ages count
// back from, the scanned system's rules, and the environment.
struct OptionContext {
  TDateTime Now = 0;
  PathStyle Style = PathStyle::Posix;
  CodePage Code;
  std::function<std::string(std::string_view)> Environment;
};

class OptionUses;

struct OptionRow {
  std::array<std::string_view, 3> Spellings;  // the unused ones empty
  OptionKind Kind;
  OptionGroup Group;
  std::string_view Usage;  // its lines in the usage text, "\r\n" between them
  // Reads the uses of this row (in the order typed, never none) into options.
  void (*Read)(const std::vector<OptionUse>& own, const OptionUses& all,
               const OptionContext& context, ListOptions& options);
};

std::span<const OptionRow> OptionTable();

// The uses of every row, found in the parameters after the directory.
class OptionUses {
 public:
  // A parameter that begins with "/" and names no option raises
  // UnknownOptionFailure, a valued option without a value
  // InvalidValueFailure; parameters that are no option are kept apart.
  explicit OptionUses(const std::vector<std::string>& params);
  // The uses of the row holding spelling (ASCII letter case ignored).
  const std::vector<OptionUse>& Of(std::string_view spelling) const;
  const std::vector<OptionUse>& OfRow(std::size_t row) const { return uses_[row]; }
  const std::vector<std::string>& Unexpected() const { return unexpected_; }

 private:
  std::vector<std::vector<OptionUse>> uses_;
  std::vector<std::string> unexpected_;
};

// Refuses what DU cannot do, and DU's own options with another command:
// InvalidValueFailure naming the option as typed.
void CheckDuOptions(const OptionUses& uses, const ListOptions& options);

// Reads every option after the directory into options.
void ReadOptions(const std::vector<std::string>& params, const OptionContext& context,
                 ListOptions& options);

// Whether an option after the directory is one of the row of spelling: the
// few that decide how the command line itself is read are looked for first.
// from is the first position looked at, from 0.
bool HasOption(const std::vector<std::string>& params, std::string_view spelling,
               std::size_t from = 2);

// The options' part of the usage text, group by group, with the macros
// under the line template.
std::string OptionsUsage();

}  // namespace tvx
