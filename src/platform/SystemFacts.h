// What the system tells of itself: the clock, the locale, the volume's space
// and the program's own version record.
#pragma once

#include <cstdint>
#include <string>

#include "text/Locale.h"
#include "text/Messages.h"

namespace tvx {

struct DiskSpace {
  std::uint64_t Total = 0;
  std::uint64_t FreeForCaller = 0;
};

class SystemFacts {
 public:
  virtual ~SystemFacts() = default;
  virtual VersionStrings ReadVersion() = 0;
  // Capacity of the volume holding path and the space free for the caller;
  // false when the query fails.
  virtual bool GetDiskSpace(const std::string& path, DiskSpace& space) = 0;
  virtual LocaleSettings ReadLocale() = 0;
  // Milliseconds from an arbitrary start, never going back: the pace of the
  // progress line.
  virtual std::uint64_t Milliseconds() = 0;
  // The present moment in local time, which file ages count back from.
  virtual TDateTime Now() = 0;
  // Seconds east of UTC that the local time zone stood at, at a local time
  // (a time the clock showed twice gets one of its two).
  virtual int UtcOffsetAt(TDateTime local) = 0;
};

}  // namespace tvx
