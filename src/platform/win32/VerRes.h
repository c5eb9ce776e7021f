// Reads the version-information resource of an executable file: the
// translation it names first and the strings stored under that translation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tvx {

// The running program's file, whose resource holds the version information.
std::string OwnFile();

class TVerRes {
 public:
  explicit TVerRes(const std::string& fileName);
  TVerRes(const TVerRes&) = delete;
  TVerRes& operator=(const TVerRes&) = delete;

  std::string ProductVersion() const { return QueryString("ProductVersion"); }
  std::string LegalCopyright() const { return QueryString("LegalCopyright"); }
  std::string Comments() const { return QueryString("Comments"); }

  // The string stored under name for the first translation; empty when the
  // file has no version information or no such string.
  std::string QueryString(const std::string& name) const;

  // Null when no version information is loaded.
  HMODULE Handle = nullptr;
  std::vector<char> Data;
  std::uint16_t Size = 0;
  std::uint16_t Language = 0;
  std::uint16_t CodePage = 0;
  std::string LangCharset;  // e.g. "041103A4"
};

}  // namespace tvx
