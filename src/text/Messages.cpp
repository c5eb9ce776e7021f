#include "Messages.h"

#include "Text.h"

namespace tvx {

namespace {

constexpr const char* kHelpText =
    "\r\n"
    "<HOW TO USE> TVX [COMMAND] DIRECTORY [OPTIONS]\r\n"
    "- COMMAND\r\n";
constexpr const char* kDirectoryText = "- DIRECTORY  List up root directory\r\n";
}  // namespace

std::string BannerText(const VersionStrings& version) {
  return "\r\nTarvix ver. " + version.ProductVersion + "\r\n " + version.LegalCopyright + " (" +
         version.Comments + ")";
}

std::string UsageText(const VersionStrings& version, std::string_view commands,
                      std::string_view options) {
  return BannerText(version) + "\r\n" + kHelpText + std::string(commands) + kDirectoryText +
         std::string(options);
}

std::string UnknownCommandText(const VersionStrings& version) {
  return "\r\nCommand Unknown.\r\n" + BannerText(version);
}

std::string NotFoundText(const std::string& dir) {
  // Typed, it may still hold a line break or a terminal's escape.
  std::string shown = dir;
  ShowControlChars(shown);
  return "Specified directory [" + shown + "] is not found.";
}

namespace {

struct IoText {
  int Code;
  const char* English;
  const char* Japanese;
};

// Both languages side by side, so that a text is never added to one alone.
constexpr IoText kIoTexts[] = {
    {2, "File not found", "ﾌｧｲﾙが見つかりません"},
    {3, "Invalid file name", "不正なﾌｧｲﾙ名です"},
    {4, "Too many open files", "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます"},
    {5, "File access denied", "ﾌｧｲﾙへのｱｸｾｽが拒否されました"},
    {100, "Read beyond end of file", "ﾌｧｲﾙの末尾以降を読み込みました"},
    {101, "Disk full", "ﾃﾞｨｽｸがいっぱいです"},
    {106, "Invalid numeric input", "入力値が数値ではありません"},
};

const char* Pick(Language language, const char* english, const char* japanese) {
  return language == Language::Japanese ? japanese : english;
}

}  // namespace

std::string IoFailureText(int code, Language language) {
  for (const IoText& text : kIoTexts) {
    if (text.Code == code) return Pick(language, text.English, text.Japanese);
  }
  // A system's own number, marked by its sign, is shown as the system gave it.
  const int shown = code < 0 ? -code : code;
  return Pick(language, "I/O error (", "I/O ｴﾗｰ (") + std::to_string(shown) + ")";
}

std::string AssertionFailureText(const std::string& text, const std::string& source, int line,
                                 Language language) {
  const std::string number = std::to_string(line);
  if (language == Language::Japanese) return text + " (" + source + ", " + number + " 行)";
  return text + " (" + source + ", line " + number + ")";
}

std::string OutOfMemoryText(Language language) {
  return Pick(language, "Out of memory", "ﾒﾓﾘが足りません");
}

std::string InexactNameText(Language language) {
  return Pick(language, "Name not writable in this code page; /UTF8 writes it",
              "ｺｰﾄﾞﾍﾟｰｼﾞで書けない名前です (/UTF8 で書けます)");
}

std::string ControlNameText(Language language) {
  return Pick(language, "Name not writable on one line; /0 writes it",
              "1行に書けない名前です (/0 で書けます)");
}

std::string RewrittenNameText(Language language) {
  return Pick(language, "Name Windows reads as another file; /JSON writes it",
              "Windows が別のﾌｧｲﾙと読む名前です (/JSON で書けます)");
}

std::string MoreNamesText(Language language, std::size_t more) {
  if (more == 0) return {};
  const std::string count = std::to_string(more);
  if (language == Language::Japanese) return "ほかに書けない名前が " + count + " 個あります";
  return "and " + count + (more == 1 ? " more name" : " more names") + " not writable";
}

std::string UnwritableNamesAdvice(Language language, bool zeroWrites) {
  if (zeroWrites)
    return Pick(language, "Nothing written: /C leaves these names out; /0 or /JSON writes them",
                "何も書いていません: /C でこれらの名前を除けます (/0 か /JSON で書けます)");
  return Pick(language, "Nothing written: /C leaves these names out; /JSON writes them all",
              "何も書いていません: /C でこれらの名前を除けます (/JSON ですべて書けます)");
}

std::string ProgressText(Language language, std::string_view entries,
                         std::string_view directories) {
  if (language == Language::Japanese)
    return "ｽｷｬﾝ中: " + std::string(entries) + " 個, ﾌｫﾙﾀﾞ " + std::string(directories) + " 個: ";
  return "Scanning: " + std::string(entries) + " entries, " + std::string(directories) +
         " directories: ";
}

std::string InvalidValueText(Language language) {
  return Pick(language, "Invalid value", "値が正しくありません");
}

std::string UnknownOptionText(Language language) {
  return Pick(language, "Unknown option", "不明なｵﾌﾟｼｮﾝです");
}

std::string UnexpectedParameterText(Language language) {
  return Pick(language, "Unexpected parameter ignored", "余分なﾊﾟﾗﾒｰﾀを無視しました");
}

std::string LimitFailureText(Language language) {
  return Pick(language, "Too large for the entry list", "ｴﾝﾄﾘ ﾘｽﾄの上限を超えました");
}

Language LanguageOfLocale(std::string_view name) {
  // language[_territory][.codeset][@modifier]
  const std::size_t end = name.find_first_of("_.@");
  if (name.substr(0, end) != "ja") return Language::English;
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return Language::Japanese;
  std::string_view codeset = name.substr(dot + 1);
  codeset = codeset.substr(0, codeset.find('@'));
  return EqualIgnoringAsciiCase(codeset, "UTF-8") || EqualIgnoringAsciiCase(codeset, "utf8")
             ? Language::Japanese
             : Language::English;
}

}  // namespace tvx
