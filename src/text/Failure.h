// The failures that end a run, one family under one base. Each carries what
// its message needs; the one handler in Run.cpp asks it for the line the
// user reads (the texts themselves are in Messages).
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Messages.h"

namespace tvx {

// Turns a fixed text (UTF-8 in the source) into the system's encoding.
using SystemText = std::function<std::string(std::string_view)>;

// The base, and itself a failure whose text is already in the system's
// encoding (it holds what the user typed, or the program's version strings).
class Failure : public std::exception {
 public:
  explicit Failure(std::string text) : text_(std::move(text)) {}
  const char* what() const noexcept override { return text_.c_str(); }

  // The line the user reads, in the system's encoding: the failure's own
  // text, then " [path]" when it concerns a directory or an entry.
  std::string Message(Language language, const SystemText& toSystem) const;
  void SetPath(std::string path) { path_ = std::move(path); }

 protected:
  virtual std::string Text(Language, const SystemText&) const { return text_; }

 private:
  std::string text_;
  std::string path_;
};

// Help was asked for: the usage text ends the run, on standard output, with
// the exit code given.
class HelpRequest : public Failure {
 public:
  explicit HelpRequest(std::string usage, int exitCode = 1)
      : Failure(std::move(usage)), exitCode_(exitCode) {}
  int ExitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

// An input/output failure carrying the number that picks its message: a
// Windows error number, which POSIX layers map the errno values that have a
// message onto (one table per system); or a number of the system's own that
// no message names, shown as it is.
class IoFailure : public Failure {
 public:
  explicit IoFailure(int code) : Failure("I/O failure"), code_(code) {}
  int Code() const { return code_; }
  // The reader of the output has gone (a closed pipe): the run ends quietly.
  // The same numbers from a directory read (a share's pipe) are reported.
  bool IsClosedOutput() const {
    return OfOutput() && (code_ == kBrokenPipe || code_ == kNoData || code_ == kNotConnected);
  }

  // A system's own error number, shown as "I/O error (number)": below zero,
  // so that it is never taken for a message's (EIO is 5, "access denied").
  static constexpr int SystemNumber(int number) { return -number; }

  static constexpr int kDiskFull = 101;  // what every system's "disk full" is reported as
  static constexpr int kBrokenPipe = 109;
  static constexpr int kNoData = 232;
  static constexpr int kNotConnected = 233;  // the pipe's reader has gone

 protected:
  std::string Text(Language language, const SystemText& toSystem) const override;
  virtual bool OfOutput() const { return false; }

 private:
  int code_;
};

// A write to standard output or standard error that failed.
class OutputFailure : public IoFailure {
 public:
  using IoFailure::IoFailure;

 protected:
  bool OfOutput() const override { return true; }
};

// A directory that was entered but whose entries cannot be read, from the
// start or part way: without /C it ends the run, with /C it is reported.
class ReadFailure : public IoFailure {
 public:
  using IoFailure::IoFailure;
};

// No handle or descriptor left to enter a directory: no fault of the
// directory, so a walk that holds some for later may give them back and try
// again.
class ShortageFailure : public IoFailure {
 public:
  using IoFailure::IoFailure;
};

// A broken internal expectation, reported with its source unit and line.
class AssertionFailure : public Failure {
 public:
  AssertionFailure(std::string text, std::string source, int line)
      : Failure(std::move(text)), source_(std::move(source)), line_(line) {}

 protected:
  std::string Text(Language language, const SystemText& toSystem) const override;

 private:
  std::string source_;
  int line_;
};

// A tree beyond the entry list's fixed limits; not a lack of memory.
class LimitFailure : public Failure {
 public:
  LimitFailure() : Failure("entry list limit") {}

 protected:
  std::string Text(Language language, const SystemText& toSystem) const override;
};

// A failure, or a warning, of the form "text [what]", its text in the
// language of the messages.
class WordFailure : public Failure {
 public:
  using TextOf = std::string (*)(Language);
  WordFailure(TextOf text, std::string what) : Failure("word failure"), text_(text) {
    SetPath(std::move(what));
  }

 protected:
  std::string Text(Language language, const SystemText& toSystem) const override;

 private:
  TextOf text_;
};

// A WordFailure of one text, a type of its own so that it can be caught.
template <WordFailure::TextOf text>
class WordFailureOf : public WordFailure {
 public:
  explicit WordFailureOf(std::string what) : WordFailure(text, std::move(what)) {}
};

// An entry whose name the output's code page cannot hold and that has no
// short name: LIST would write "?" for its missing characters.
using InexactNameFailure = WordFailureOf<InexactNameText>;

// An entry whose name holds a control byte (or on Windows a character no
// Windows name holds): on one line it would break the line, or name another
// file. /0 writes it.
using ControlNameFailure = WordFailureOf<ControlNameText>;

// An entry whose name Win32 takes for another file or a device: no line,
// /0's neither, names it.
using RewrittenNameFailure = WordFailureOf<RewrittenNameText>;

// Every name of a kept list that LIST cannot write, found before anything
// is written: the first kMaxNamed named, then a count, then the advice.
class UnwritableNamesFailure : public Failure {
 public:
  static constexpr std::size_t kMaxNamed = 20;
  UnwritableNamesFailure() : Failure("unwritable names") {}
  // name is one of the failures of a single name (a WordFailure).
  void Add(const Failure& name);
  std::size_t Count() const { return count_; }

 protected:
  std::string Text(Language language, const SystemText& toSystem) const override;

 private:
  std::vector<WordFailure> named_;
  std::size_t count_ = 0;
  bool allControl_ = true;  // each a name /0 writes
};

// An option whose value is missing, malformed or out of range; it names the
// option as typed, and ends the run before anything is scanned.
using InvalidValueFailure = WordFailureOf<InvalidValueText>;

// A parameter that begins with "/" and names no option: a typo must never
// widen a batch, so the run ends before the scan.
using UnknownOptionFailure = WordFailureOf<UnknownOptionText>;

// Not a failure: the warning for a parameter after the directory that is no
// option at all, which the run then ignores.
using UnexpectedParameterWarning = WordFailureOf<UnexpectedParameterText>;

}  // namespace tvx
