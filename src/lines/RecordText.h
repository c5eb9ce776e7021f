// The pieces of records (JSON Lines and CSV): strings escaped or quoted,
// bytes that are not UTF-8 replaced, base64, and a time in UTC. Pure routines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/CaseFold.h"
#include "text/Locale.h"

namespace tvx {

bool IsValidUtf8(std::string_view text);

// Appends text as the inside of a JSON string: '"' and '\' escaped, control
// characters as \u00XX, the rest as UTF-8 with U+FFFD for what is not.
// False when something was replaced.
bool AppendJsonText(std::string& out, std::string_view text);

// Appends text as a CSV field: in double quotes, each '"' doubled, when it
// holds ',', '"', a control character (CR and LF among them), or begins or
// ends with a blank. False when something was replaced by U+FFFD.
bool AppendCsvField(std::string& out, std::string_view text);

// Whether a directory part can begin a CSV field as it is: empty, or no
// ',', '"' or control character, no leading blank, valid UTF-8.
bool IsPlainCsv(std::string_view dir);

// Appends dir + name as one CSV field, as AppendCsvField does; where dir is
// plain (found once for its directory), only the name is looked at.
bool AppendCsvPath(std::string& out, std::string_view dir, bool dirPlain, std::string_view name,
                   std::string& scratch);

// A count in decimal digits.
void AppendNumber(std::string& out, std::uint64_t value);

// Standard base64 with padding.
void AppendBase64(std::string& out, std::string_view bytes);

// "2026-12-07T07:44:40Z": a time in UTC, counted as a local time is.
void AppendUtcStamp(std::string& out, TDateTime utc);

}  // namespace tvx
