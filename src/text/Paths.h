// Path rules for both path syntaxes, free of I/O so that each can be tested
// anywhere: Windows (drive letters, "\", UNC shares) and POSIX ("/").
#pragma once

#include <string>
#include <string_view>

#include "Text.h"

namespace tvx {

enum class PathStyle { Windows, Posix };

char Separator(PathStyle style);

// The command interpreter whose lines name paths of this syntax.
inline QuoteRule QuoteRuleOf(PathStyle style) {
  return style == PathStyle::Windows ? QuoteRule::CommandPrompt : QuoteRule::PosixShell;
}

// The extension of a name with its dot: after the last dot, unless that dot
// is the first character (".profile" has none).
std::string_view ExtensionOf(std::string_view name);

// Whether Win32 takes the name for another than itself: it drops a last
// dot or blank, and a DOS device's name (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9, CONIN$, CONOUT$) before the first dot, with blanks after it,
// names the device in any letter case. Such a name reaches Windows only
// from a foreign file system (a Unix mount, a share).
bool Win32RewritesName(std::string_view name);

// path with the separator appended unless its last character is one.
std::string WithSeparator(std::string_view path, PathStyle style, const CodePage& code);

// A full directory path ending in a separator, shown without it unless it
// is a root ("C:\", "\\srv\share\", "/").
std::string WithoutFinalSeparator(std::string_view dir, PathStyle style, const CodePage& code);

// The root prefix: "C:" for a drive path, "\\server\share" for a UNC path,
// "/" for an absolute POSIX path, else empty.
std::string RootPrefix(std::string_view path, PathStyle style, const CodePage& code);

// path made absolute against cwd (itself absolute), with "." and ".."
// components and doubled separators resolved lexically, as the Windows
// full-path call does. No final separator except at a root.
std::string LexicalFullPath(std::string_view path, std::string_view cwd, PathStyle style,
                            const CodePage& code);

}  // namespace tvx
