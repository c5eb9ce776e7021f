// The user's date, time and number settings, read from the system in UTF-16.
#pragma once

#include "WideText.h"
#include "text/Locale.h"
#include "text/Text.h"

namespace tvx {

LocaleSettings ReadLocaleSettings(const TextCodec& codec, const CodePage& code);

}  // namespace tvx
