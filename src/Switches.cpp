#include "Switches.h"

#include <array>

#include "Text.h"

namespace tvx {

namespace {

// The options after the directory. Flags stand alone; valued options are
// known by the name before their ":" or "=".
constexpr std::array<std::string_view, 28> kFlags = {
    "/F",   "/FILENAMEONLY", "/D",    "/NODIR",   "/NOD", "/R",  "/RECURSIVE",
    "/C",   "/CONTINUE",     "/Q",    "/NOQUOTE", "/NOQ", "/U",  "/UPPER",
    "/L",   "/LOWER",        "/UTF8", "/0",       "/NUL", "/NP", "/NOPROGRESS",
    "/BAT", "/BATCH",        "/?",    "/JSON",    "/CSV", "/I",  "/IGNORECASE"};
// Prefix and suffix take their value after "=" alone, as they always have;
// alone they are an empty prefix or suffix.
constexpr std::array<std::string_view, 4> kEqualsOnly = {"/P", "/PREFIX", "/S", "/SUFFIX"};
constexpr std::array<std::string_view, 15> kValued = {
    "/M",   "/MATCH", "/X", "/EXCLUDE", "/LEV",   "/LEVELS", "/MAXAGE", "/MINAGE",
    "/MIN", "/MAX",   "/A", "/O",       "/ORDER", "/LINE",   "/TOP"};

template <typename Table>
bool InTable(const Table& table, std::string_view name) {
  for (std::string_view known : table) {
    if (EqualIgnoringAsciiCase(name, known)) return true;
  }
  return false;
}

// Options are read from here on: the command word and the directory come first.
constexpr std::size_t kFirstOption = 2;

}  // namespace

std::string_view SwitchName(std::string_view param) {
  return param.substr(0, param.find_first_of(":="));
}

std::vector<SwitchValue> SwitchValues(const std::vector<std::string>& params,
                                      std::initializer_list<std::string_view> spellings) {
  std::vector<SwitchValue> values;
  for (std::size_t p = kFirstOption; p < params.size(); ++p) {
    const std::string_view name = SwitchName(params[p]);
    if (name.size() == params[p].size()) continue;  // no value sign
    for (std::string_view spelling : spellings) {
      if (EqualIgnoringAsciiCase(name, spelling)) {
        values.push_back({params[p], params[p].substr(name.size() + 1)});
        break;
      }
    }
  }
  return values;
}

bool IsKnownSwitch(std::string_view param) {
  if (InTable(kFlags, param) || InTable(kEqualsOnly, param)) return true;
  const std::string_view name = SwitchName(param);
  if (name.size() == param.size()) return false;
  if (param[name.size()] == '=' && InTable(kEqualsOnly, name)) return true;
  return InTable(kValued, name);
}

std::string FirstUnknownOption(const std::vector<std::string>& params) {
  for (std::size_t p = kFirstOption; p < params.size(); ++p) {
    if (params[p].starts_with('/') && !IsKnownSwitch(params[p]) && !InTable(kValued, params[p]))
      return params[p];
  }
  return {};
}

std::vector<std::string> UnexpectedParameters(const std::vector<std::string>& params) {
  std::vector<std::string> unexpected;
  for (std::size_t p = kFirstOption; p < params.size(); ++p) {
    if (!params[p].starts_with('/')) unexpected.push_back(params[p]);
  }
  return unexpected;
}

std::string FirstWithoutValue(const std::vector<std::string>& params) {
  for (std::size_t p = kFirstOption; p < params.size(); ++p) {
    if (InTable(kValued, params[p])) return params[p];
  }
  return {};
}

std::vector<std::string> SplitList(std::string_view value) {
  std::vector<std::string> pieces;
  for (;;) {
    const std::size_t semicolon = value.find(';');
    pieces.emplace_back(value.substr(0, semicolon));
    if (semicolon == std::string_view::npos) return pieces;
    value.remove_prefix(semicolon + 1);
  }
}

}  // namespace tvx
