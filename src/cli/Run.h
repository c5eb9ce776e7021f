// The main block: reads the command line, scans once, runs the command, and
// is the one place where failures are caught.
#pragma once

#include "lines/Options.h"

namespace tvx {

class Platform;

// Fills the run state from the parameters, or raises the failure that ends
// the run (the usage text, or the directory not found).
ListOptions ParseCommandLine(Platform& platform);

// Runs the program; returns the exit code (0, or 1 after a message).
int RunTvx(Platform& platform);

}  // namespace tvx
