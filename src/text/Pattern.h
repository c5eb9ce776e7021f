// Wildcard patterns for entry names: pure logic, tested on every platform.
#pragma once

#include <string_view>

#include "CaseFold.h"
#include "Text.h"

namespace tvx {

// Whether name matches pattern: "*" stands for any run of characters (none
// included), "?" for exactly one, every other character for itself. Both
// texts are cut into whole characters by code, so a trail byte that equals
// "*", "?" or "\" is never taken for one. Letter case counts as rule says:
// LetterCase::Ascii folds the ASCII letters alone, as upper-casing a
// displayed name does; LetterCase::Unicode takes both texts as UTF-8 (code
// cuts them so) and folds each character. "*.*" matches every name, with or
// without a dot.
bool MatchesPattern(std::string_view pattern, std::string_view name, const CodePage& code,
                    LetterCase rule);

}  // namespace tvx
