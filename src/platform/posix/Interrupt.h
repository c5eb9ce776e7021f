// Ctrl-C and a request to end (SIGINT, SIGTERM) on POSIX.
#pragma once

#include <string_view>

namespace tvx {

// Bytes written to standard error when the run is interrupted, before the
// process ends as the signal asks; empty for none. Called from one thread.
void SetInterruptText(std::string_view bytes);

}  // namespace tvx
