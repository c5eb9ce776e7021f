#include "Paths.h"

#include <vector>

namespace tvx {

namespace {

bool IsSep(char c, PathStyle style) {
  return c == '/' || (style == PathStyle::Windows && c == '\\');
}

bool IsUnc(std::string_view path, PathStyle style) {
  return style == PathStyle::Windows && path.size() >= 2 && IsSep(path[0], style) &&
         IsSep(path[1], style);
}

bool HasDrive(std::string_view path, PathStyle style) {
  return style == PathStyle::Windows && path.size() >= 2 && path[1] == ':';
}

// Cuts path into its components, never splitting a double-byte character.
std::vector<std::string> Components(std::string_view path, PathStyle style, const CodePage& code) {
  std::vector<std::string> parts;
  std::string current;
  for (std::size_t i = 0; i < path.size();) {
    std::size_t len = code.CharLength(path, i);
    if (len == 1 && IsSep(path[i], style)) {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current.append(path.substr(i, len));
    }
    i += len;
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

// Applies "." and ".." to the components, never climbing above the root.
void Resolve(std::vector<std::string>& out, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(part);
  }
}

}  // namespace

char Separator(PathStyle style) {
  return style == PathStyle::Windows ? '\\' : '/';
}

std::string_view ExtensionOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return name.substr(dot);
}

bool Win32RewritesName(std::string_view name) {
  // No trail byte of a double-byte code page is a dot or a blank.
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) return true;
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualIgnoringAsciiCase(base, device)) return true;
  }
  if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
  return EqualIgnoringAsciiCase(base.substr(0, 3), "COM") ||
         EqualIgnoringAsciiCase(base.substr(0, 3), "LPT");
}

std::string WithSeparator(std::string_view path, PathStyle style, const CodePage& code) {
  std::string result(path);
  if (!EndsWithChar(path, Separator(style), code)) result += Separator(style);
  return result;
}

std::string WithoutFinalSeparator(std::string_view dir, PathStyle style, const CodePage& code) {
  if (!EndsWithChar(dir, Separator(style), code)) return std::string(dir);
  if (dir.size() == RootPrefix(dir, style, code).size() + (style == PathStyle::Posix ? 0 : 1))
    return std::string(dir);
  return std::string(dir.substr(0, dir.size() - 1));
}

std::string RootPrefix(std::string_view path, PathStyle style, const CodePage& code) {
  if (style == PathStyle::Posix) return !path.empty() && path[0] == '/' ? "/" : "";
  if (HasDrive(path, style)) return std::string(path.substr(0, 2));
  if (!IsUnc(path, style)) return {};
  // \\server\share: the two components after the leading separators.
  std::size_t i = 2;
  int seps = 0;
  while (i < path.size()) {
    std::size_t len = code.CharLength(path, i);
    if (len == 1 && IsSep(path[i], style) && ++seps == 2) break;
    i += len;
  }
  return std::string(path.substr(0, i));
}

namespace {

// The root of a Windows path that names no share ("C:\", or the current
// directory's), with its components resolved into parts.
std::string ResolveOnDrive(std::string_view path, std::string_view cwd, const CodePage& code,
                           std::vector<std::string>& parts) {
  constexpr PathStyle style = PathStyle::Windows;
  const std::string cwdRoot = RootPrefix(cwd, style, code);
  const auto inCwd = [&] { Resolve(parts, Components(cwd.substr(cwdRoot.size()), style, code)); };
  std::string root = cwdRoot;
  std::string_view rest = path;
  if (HasDrive(path, style)) {
    root = std::string(path.substr(0, 2));
    rest = path.substr(2);
    // "C:name" is relative to the current directory when C: is its drive.
    if (EqualIgnoringAsciiCase(root, cwdRoot) && (rest.empty() || !IsSep(rest[0], style))) inCwd();
  } else if (path.empty() || !IsSep(path[0], style)) {
    inCwd();
  }
  Resolve(parts, Components(rest, style, code));
  // A drive root keeps its separator ("C:\"); a share gets one before its first component.
  if (!IsUnc(root, style)) root += Separator(style);
  return root;
}

}  // namespace

std::string LexicalFullPath(std::string_view path, std::string_view cwd, PathStyle style,
                            const CodePage& code) {
  const char sep = Separator(style);
  std::string root;
  std::vector<std::string> parts;

  if (style == PathStyle::Posix) {
    root = "/";
    if (path.empty() || path[0] != '/') Resolve(parts, Components(cwd, style, code));
    Resolve(parts, Components(path, style, code));
  } else if (IsUnc(path, style)) {
    root = RootPrefix(path, style, code);
    for (char& c : root) {
      if (c == '/') c = '\\';
    }
    Resolve(parts, Components(path.substr(root.size()), style, code));
  } else {
    root = ResolveOnDrive(path, cwd, code, parts);
  }

  std::string full = root;
  if (IsUnc(root, style) && !parts.empty()) full += sep;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) full += sep;
    full += parts[i];
  }
  return full;
}

}  // namespace tvx
