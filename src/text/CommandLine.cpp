#include "CommandLine.h"

namespace tvx {

namespace {

bool IsSeparator(char c) {
  unsigned char b = static_cast<unsigned char>(c);
  return b >= 0x01 && b <= 0x20;
}

// Reads one parameter starting at pos; returns it and moves pos past it.
std::string NextParameter(std::string_view line, std::size_t& pos) {
  for (;;) {
    while (pos < line.size() && IsSeparator(line[pos])) ++pos;
    if (pos + 1 < line.size() && line[pos] == '"' && line[pos + 1] == '"') {
      pos += 2;
      continue;
    }
    break;
  }
  std::string param;
  while (pos < line.size() && !IsSeparator(line[pos]) && line[pos] != '\0') {
    if (line[pos] == '"') {
      ++pos;
      while (pos < line.size() && line[pos] != '"' && line[pos] != '\0') param += line[pos++];
      if (pos < line.size() && line[pos] == '"') ++pos;
    } else {
      param += line[pos++];
    }
  }
  return param;
}

}  // namespace

std::vector<std::string> CutParameters(std::string_view commandLine) {
  std::size_t end = commandLine.find('\0');
  if (end != std::string_view::npos) commandLine = commandLine.substr(0, end);
  std::size_t pos = 0;
  NextParameter(commandLine, pos);  // the program name
  std::vector<std::string> params;
  for (;;) {
    std::string param = NextParameter(commandLine, pos);
    if (param.empty()) break;
    params.push_back(std::move(param));
  }
  return params;
}

bool ParseDigits(std::string_view text, std::uint64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

std::size_t FindSwitch(const std::vector<std::string>& params,
                       std::initializer_list<std::string_view> spellings) {
  std::size_t result = 0;
  for (std::size_t p = 0; p < params.size(); ++p) {
    if (params[p].empty()) continue;
    for (std::string_view spelling : spellings) {
      if (EqualIgnoringAsciiCase(params[p], spelling)) {
        result = p + 1;
        break;
      }
    }
  }
  return result;
}

std::string LookupValue(const std::vector<std::string>& lines, std::string_view name,
                        const TextEquality& equal) {
  // An empty name ("%%") would match the hidden "=C:=C:\..." lines of a
  // Windows environment.
  if (name.empty()) return {};
  for (const std::string& line : lines) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (equal(std::string_view(line).substr(0, eq), name)) return line.substr(eq + 1);
  }
  return {};
}

std::string ExpandEnvRefs(std::string_view text,
                          const std::function<std::string(std::string_view)>& getEnv,
                          const CodePage& code) {
  // One pass from left to right: a value put in is never searched again, so
  // a value holding "%" stays as it is and nothing can grow without end.
  std::string result;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t close = text[pos] == '%' ? text.find('%', pos + 1) : std::string_view::npos;
    std::string value;
    if (close != std::string_view::npos) value = getEnv(text.substr(pos + 1, close - pos - 1));
    if (!value.empty()) {
      result += value;
      pos = close + 1;
      continue;
    }
    // Not a reference: the "%" that closes this stretch may open the next.
    const std::size_t length = code.CharLength(text, pos);
    result.append(text.substr(pos, length));
    pos += length;
  }
  return result;
}

}  // namespace tvx
