// Where the run's messages go, in the language the output can carry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/Failure.h"
#include "text/Locale.h"
#include "text/Messages.h"

namespace tvx {

class Platform;

class Messenger {
 public:
  explicit Messenger(Platform& platform);

  std::string MessageOf(const Failure& failure) const {
    return failure.Message(language_, toSystem_);
  }
  std::string OutOfMemory() const;
  std::string Progress(std::uint64_t entries, std::uint64_t directories,
                       const LocaleSettings& locale) const;

  // One line on standard error. A standard error that cannot be written
  // must not stop the listing: the exit code says it is incomplete anyway.
  void ToStandardError(std::string_view message) const;

 private:
  Platform& platform_;
  Language language_;
  SystemText toSystem_;
};

}  // namespace tvx
