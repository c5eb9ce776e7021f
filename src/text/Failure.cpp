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

void UnwritableNamesFailure::Add(const Failure& name) {
  ++count_;
  allControl_ = allControl_ && dynamic_cast<const ControlNameFailure*>(&name) != nullptr;
  const auto* word = dynamic_cast<const WordFailure*>(&name);
  if (word && named_.size() < kMaxNamed) named_.push_back(*word);
}

std::string UnwritableNamesFailure::Text(Language language, const SystemText& toSystem) const {
  std::string text;
  for (const WordFailure& name : named_) text += name.Message(language, toSystem) + "\r\n";
  const std::string more = MoreNamesText(language, count_ - named_.size());
  if (!more.empty()) text += toSystem(more) + "\r\n";
  return text + toSystem(UnwritableNamesAdvice(language, allControl_));
}

}  // namespace tvx
