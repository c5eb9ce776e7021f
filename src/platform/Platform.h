// The operating-system boundary, as the narrow interfaces each unit is
// handed: the directories (DirSource.h), the console (Streams.h) and the
// system's facts (SystemFacts.h), and here the command line the run starts
// from. posix/ and win32/ each implement it, and CMake picks one.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DirSource.h"
#include "Streams.h"
#include "SystemFacts.h"

namespace tvx {

class Platform : public DirectorySource, public Console, public SystemFacts {
 public:
  // Parameters 1..N of the command line (parameter 0, the program's file, is cut off).
  virtual std::vector<std::string> Parameters() = 0;
  // NAME=VALUE lines in the order the system stores them, read afresh.
  virtual std::vector<std::string> Environment() = 0;
  // Equality of two names ignoring letter case, by the system's rules.
  virtual bool SameTextIgnoringCase(std::string_view a, std::string_view b) = 0;

  virtual std::string CurrentDirectory() = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;

  // Reads and writes every text as UTF-8 from now on, where the system's own
  // code page is another: names, command line, environment, messages.
  virtual void UseUtf8() {}
  // Reads and writes every text in the code page cmd reads a batch file in
  // (the console's), where that is not the code page texts are in already;
  // true when it changed.
  virtual bool UseConsoleCodePage() { return false; }
  // UseUtf8, and a name that UTF-8 cannot hold (a lone UTF-16 surrogate) is
  // kept in WTF-8 rather than left inexact: records name every entry.
  virtual void UseWtf8() { UseUtf8(); }
};

// The platform this program was built for.
std::unique_ptr<Platform> MakePlatform(int argc, char** argv);

}  // namespace tvx
