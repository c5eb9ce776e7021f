#include "Messenger.h"

#include "platform/Platform.h"
#include "text/Text.h"

namespace tvx {

Messenger::Messenger(Platform& platform)
    : platform_(platform),
      language_(platform.MessageLanguage()),
      toSystem_([&platform](std::string_view text) { return platform.FromUtf8(text); }) {}

std::string Messenger::OutOfMemory() const {
  return toSystem_(OutOfMemoryText(language_));
}

std::string Messenger::Progress(std::uint64_t entries, std::uint64_t directories,
                                const LocaleSettings& locale) const {
  return toSystem_(
      ProgressText(language_, FormatNumber(entries, locale), FormatNumber(directories, locale)));
}

void Messenger::ToStandardError(std::string_view message) const {
  try {
    std::string line;
    AppendLines(line, message, platform_.LineBreak());
    platform_.StandardError().Write(line.data(), line.size());
  } catch (...) {
  }
}

}  // namespace tvx
