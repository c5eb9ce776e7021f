// Every text the user reads that is not a listing: banner, usage, unknown
// command and the failure messages, the latter in English and in Japanese.
// Lines inside them are joined with "\r\n"; the line writer turns that into
// the platform's line break.
#pragma once

#include <string>
#include <string_view>

namespace tvx {

// The program's version record, which the banner shows.
struct VersionStrings {
  std::string ProductVersion;
  std::string LegalCopyright;
  std::string Comments;
};

// The language of the failure messages: Japanese only where the output can
// carry it (a Japanese code page or locale).
enum class Language { English, Japanese };

std::string BannerText(const VersionStrings& version);
// The usage text: the commands' lines and the options' part, which the
// command and option tables give.
std::string UsageText(const VersionStrings& version, std::string_view commands,
                      std::string_view options);
std::string UnknownCommandText(const VersionStrings& version);
// "Specified directory [dir] is not found."
std::string NotFoundText(const std::string& dir);

// The fixed failure texts, in UTF-8.
std::string IoFailureText(int code, Language language);
// "text (source, line n)" with the line word of the language.
std::string AssertionFailureText(const std::string& text, const std::string& source, int line,
                                 Language language);
std::string OutOfMemoryText(Language language);
// A tree beyond what the entry list can hold (a path over 4 GiB, a name over
// 1 MiB, 2^31 directories).
std::string LimitFailureText(Language language);
// An entry whose name LIST cannot write truthfully in the output's code page.
std::string InexactNameText(Language language);
// An entry whose name holds a control byte, which no line can carry.
std::string ControlNameText(Language language);
// An entry whose name Windows takes for another (a last dot or blank, a
// device's name): no line names it.
std::string RewrittenNameText(Language language);
// After the names LIST cannot write, when it wrote nothing: how many more
// there are beyond those named (none: empty), then what to do about them.
std::string MoreNamesText(Language language, std::size_t more);
// zeroWrites: /0 writes every one of them (they hold only control bytes).
std::string UnwritableNamesAdvice(Language language, bool zeroWrites);
// The progress line's counts, before the directory being read:
// "Scanning: 123,456 entries, 12,345 directories: ".
std::string ProgressText(Language language, std::string_view entries, std::string_view directories);
// An option whose value cannot be used; the option as typed follows.
std::string InvalidValueText(Language language);
// A parameter that looks like an option but names none; it follows.
std::string UnknownOptionText(Language language);
// A parameter after the directory that is no option; it follows.
std::string UnexpectedParameterText(Language language);

// The messages' language for a POSIX locale name (the first set of LC_ALL,
// LC_MESSAGES and LANG): Japanese for "ja" in a code set that can carry
// the UTF-8 texts.
Language LanguageOfLocale(std::string_view localeName);

}  // namespace tvx
