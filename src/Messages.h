// Every text the user reads that is not a listing: banner, usage, unknown
// command and the failure messages. Lines inside them are joined with "\r\n";
// the line writer turns that into the platform's line break.
#pragma once

#include <string>

namespace tvx {

struct VersionStrings;
class AssertionFailure;

std::string BannerText(const VersionStrings& version);
std::string UsageText(const VersionStrings& version);
std::string UnknownCommandText(const VersionStrings& version);
// "Specified directory [dir] is not found."
std::string NotFoundText(const std::string& dir);

// The message for an I/O error number, in UTF-8.
std::string IoFailureText(int code);
// "text (source, line 行)", in UTF-8.
std::string AssertionFailureText(const AssertionFailure& failure);
// The out-of-memory message, in UTF-8.
std::string OutOfMemoryText();

}  // namespace tvx
