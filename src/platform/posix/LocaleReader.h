// The date, time and number forms of LC_TIME and LC_NUMERIC.
#pragma once

#include "text/Locale.h"

namespace tvx {

// Reads the locale's settings through nl_langinfo, taking the defaults where
// it gives nothing. The process's locale is left as it was.
LocaleSettings ReadPosixLocale();

}  // namespace tvx
