// The texts that introduce the program: banner, usage and unknown command.
// Lines inside them are joined with "\r\n"; the line writer turns that into
// the platform's line break.
#pragma once

#include <string>

namespace tvx {

struct VersionStrings;

std::string BannerText(const VersionStrings& version);
std::string UsageText(const VersionStrings& version);
std::string UnknownCommandText(const VersionStrings& version);

}  // namespace tvx
