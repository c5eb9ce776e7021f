#include "Failure.h"

#include "Text.h"

namespace tvx {

std::string Failure::Message(Language language, const SystemText& toSystem) const {
  std::string message = Text(language, toSystem);
  if (path_.empty()) return message;
  // A name may hold a line break or a terminal's escape: shown, as in a listing.
  std::string shown = path_;
  ShowControlChars(shown);
  return message + " [" + shown + "]";
}

std::string IoFailure::Text(Language language, const SystemText& toSystem) const {
  return toSystem(IoFailureText(code_, language));
}

std::string AssertionFailure::Text(Language language, const SystemText& toSystem) const {
  // The assertion texts and the source name are ASCII: the whole converts alike.
  return toSystem(AssertionFailureText(what(), source_, line_, language));
}

std::string LimitFailure::Text(Language language, const SystemText& toSystem) const {
  return toSystem(LimitFailureText(language));
}

std::string WordFailure::Text(Language language, const SystemText& toSystem) const {
  return toSystem(text_(language));
}

}  // namespace tvx
