// Reading the command line by the option table, and the usage text it gives.
#include <algorithm>

#include "OptionTable.h"
#include "lines/list/Macros.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace tvx {

namespace {

// Options are read from here on: the command word and the directory come first.
constexpr std::size_t kFirstOption = 2;

bool IsSpelling(const OptionRow& row, std::string_view name, std::size_t& spelling) {
  for (std::size_t s = 0; s < row.Spellings.size(); ++s) {
    if (!row.Spellings[s].empty() && EqualIgnoringAsciiCase(name, row.Spellings[s])) {
      spelling = s;
      return true;
    }
  }
  return false;
}

// The row a parameter uses, and its use; false when it names no option.
bool FindRow(const std::string& param, std::size_t& row, OptionUse& use) {
  const std::size_t sign = param.find_first_of(":=");
  const std::string_view name = std::string_view(param).substr(0, sign);
  const auto table = OptionTable();
  for (row = 0; row < table.size(); ++row) {
    const OptionRow& option = table[row];
    if (!IsSpelling(option, name, use.Spelling)) continue;
    const bool bare = sign == std::string::npos;
    if (option.Kind == OptionKind::Switch && !bare) continue;
    if (option.Kind == OptionKind::Value && bare) throw InvalidValueFailure(param);
    if (option.Kind == OptionKind::EqualsValue && !bare && param[sign] != '=') continue;
    use.Typed = param;
    use.Value = bare ? std::string() : param.substr(sign + 1);
    return true;
  }
  return false;
}

}  // namespace

OptionUses::OptionUses(const std::vector<std::string>& params) : uses_(OptionTable().size()) {
  for (std::size_t p = kFirstOption; p < params.size(); ++p) {
    if (!params[p].starts_with('/')) {
      unexpected_.push_back(params[p]);
      continue;
    }
    std::size_t row = 0;
    OptionUse use;
    if (!FindRow(params[p], row, use)) throw UnknownOptionFailure(params[p]);
    uses_[row].push_back(std::move(use));
  }
}

const std::vector<OptionUse>& OptionUses::Of(std::string_view spelling) const {
  const auto table = OptionTable();
  std::size_t unused = 0;
  for (std::size_t row = 0; row < table.size(); ++row) {
    if (IsSpelling(table[row], spelling, unused)) return uses_[row];
  }
  static const std::vector<OptionUse> kNone;
  return kNone;
}

void ReadOptions(const std::vector<std::string>& params, const OptionContext& context,
                 ListOptions& options) {
  const OptionUses uses(params);
  options.Unexpected = uses.Unexpected();
  options.Chosen = Choice(context.Style, context.Code);
  const auto table = OptionTable();
  for (std::size_t row = 0; row < table.size(); ++row) {
    if (!uses.OfRow(row).empty()) table[row].Read(uses.OfRow(row), uses, context, options);
  }
}

bool HasOption(const std::vector<std::string>& params, std::string_view spelling,
               std::size_t from) {
  const auto table = OptionTable();
  std::size_t unused = 0;
  const auto row = std::find_if(table.begin(), table.end(), [&](const OptionRow& option) {
    return IsSpelling(option, spelling, unused);
  });
  if (row == table.end()) return false;
  for (std::size_t p = from; p < params.size(); ++p) {
    if (IsSpelling(*row, params[p], unused)) return true;
  }
  return false;
}

std::string OptionsUsage() {
  std::string text;
  OptionGroup group = OptionGroup::Hidden;
  for (const OptionRow& row : OptionTable()) {
    if (row.Group == OptionGroup::Hidden) continue;
    if (row.Group != group) {
      group = row.Group;
      text += group == OptionGroup::Options
                  ? "- OPTIONS\r\n"
                  : "- CHOOSING ENTRIES  (value after : or =, options may repeat)\r\n";
    }
    text.append(row.Usage).append("\r\n");
    // The line template's macros, from their own table.
    if (row.Spellings[0] != "/LINE") continue;
    for (const MacroRow& macro : MacroTable())
      text.append("       ").append(macro.Name).append("  ").append(macro.Usage).append("\r\n");
  }
  text.resize(text.size() - 2);  // the usage text ends without a line break
  return text;
}

}  // namespace tvx
