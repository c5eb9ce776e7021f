// How many columns a text takes on a terminal or console.
#pragma once

#include <cstddef>
#include <string_view>

#include "Text.h"

namespace tvx {

// The columns text takes in code: in UTF-8 a wide East Asian character
// takes two, a combining one none, any other one (or a byte that begins no
// character) one; in another code page a character takes a column per byte,
// as a double-byte one takes two on the console.
std::size_t DisplayWidth(std::string_view text, const CodePage& code);

// The columns of the character whose code point is c.
std::size_t CodePointWidth(char32_t c);

}  // namespace tvx
