#include "Failure.h"

namespace tvx {

std::string Failure::Message(Language language, const SystemText& toSystem) const {
  std::string message = Text(language, toSystem);
  if (!path_.empty()) message += " [" + path_ + "]";
  return message;
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

std::string InexactNameFailure::Text(Language language, const SystemText& toSystem) const {
  return toSystem(InexactNameText(language));
}

}  // namespace tvx
