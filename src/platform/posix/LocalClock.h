// File times (seconds since 1970, UTC) as local date-times.
#pragma once

#include <time.h>

#include <cstddef>
#include <cstdint>

#include "text/Locale.h"

namespace tvx {

// File times to local time. localtime_r takes a lock and walks the zone
// rules on every call; offsets only change on quarter-hour boundaries (for
// any date since 1900), so the offset of each quarter hour seen is kept.
class LocalClock {
 public:
  // To the second: the entry list keeps the 2-second form the listings show
  // beside it.
  TDateTime Convert(time_t when) {
    std::int32_t offset = 0;
    return Convert(when, offset);
  }
  // The same, with the seconds east of UTC it was converted at.
  TDateTime Convert(time_t when, std::int32_t& offset) {
    const long long window = FloorDiv(static_cast<long long>(when), kWindow);
    Slot& slot = slots_[static_cast<std::size_t>(window) & (kSlots - 1)];
    if (!slot.valid || slot.window != window) {
      slot.valid = true;
      slot.window = window;
      slot.offset = OffsetAt(static_cast<time_t>(window * kWindow));
    }
    offset = static_cast<std::int32_t>(slot.offset);
    return static_cast<long long>(when) + slot.offset + kUnixEpoch;
  }

 private:
  static constexpr long long kWindow = 900;
  static constexpr std::size_t kSlots = 1024;
  // Seconds from 30 December 1899 to 1 January 1970.
  static constexpr long long kUnixEpoch = 25569LL * 86400;

  struct Slot {
    bool valid = false;
    long long window = 0;
    long long offset = 0;
  };

  static long long FloorDiv(long long a, long long b) { return a / b - (a % b < 0 ? 1 : 0); }

  static long long OffsetAt(time_t when) {
    struct tm local;
    if (!localtime_r(&when, &local)) return 0;
    long long seconds = MakeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                     local.tm_hour, local.tm_min, 0) +
                        local.tm_sec;
    return seconds - (static_cast<long long>(when) + kUnixEpoch);
  }

  Slot slots_[kSlots];
};

// Standard output. Into a pipe or a file, full buffers are written by a

}  // namespace tvx
