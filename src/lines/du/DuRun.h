// DU's run: the whole tree walked once, its writer told of every directory
// entered and left.
#pragma once

#include <functional>

#include "lines/Options.h"

namespace tvx {

class Failure;
class LineWriter;
class Platform;
class ScanProgress;
struct LocaleSettings;

// leftOut (/C) takes each directory that could not be read; the walk then
// goes on and the totals above it are marked partial. Without it such a
// directory ends the run.
void RunDu(Platform& platform, const ListOptions& options, const LocaleSettings& locale,
           LineWriter& out, ScanProgress* progress,
           const std::function<void(const Failure&)>& leftOut);

}  // namespace tvx
