// The failures that end a run. Each carries what its message needs; the one
// handler in Run.cpp turns it into the line the user sees (texts in Messages).
#pragma once

#include <exception>
#include <string>

namespace tvx {

// A failure whose message is already the text to print, in the system's encoding.
class Failure : public std::exception {
 public:
  explicit Failure(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// An input/output failure carrying the Windows-style error number that picks
// its message (POSIX layers map errno onto these numbers first).
class IoFailure : public std::exception {
 public:
  explicit IoFailure(int code) : code_(code) {}
  const char* what() const noexcept override { return "I/O failure"; }
  int Code() const { return code_; }

 private:
  int code_;
};

// A broken internal expectation, reported with its source unit and line.
class AssertionFailure : public std::exception {
 public:
  AssertionFailure(std::string text, std::string source, int line)
      : text_(std::move(text)), source_(std::move(source)), line_(line) {}
  const char* what() const noexcept override { return text_.c_str(); }
  const std::string& Text() const { return text_; }
  const std::string& Source() const { return source_; }
  int Line() const { return line_; }

 private:
  std::string text_;
  std::string source_;
  int line_;
};

}  // namespace tvx
