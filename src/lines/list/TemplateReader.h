// The line template's reader: a stack of the places the user's text opens,
// read as the target shell reads it. Its parts are in TemplateReader.cpp,
// the only file that includes this one.
#pragma once

#include <string_view>
#include <vector>

#include "Macros.h"

namespace tvx {

namespace template_places {

// The places a text can open, innermost last.
enum class Place : std::uint8_t {
  Top,         // the line itself, outside quotes
  Group,       // "( ... )" outside quotes
  Command,     // "$( ... )": a command of its own, its own quotes nest
  Arithmetic,  // "$(( ... ))"
  Parameter,   // "${ ... }"
  Backquote,   // "` ... `"
  AnsiC,       // bash's "$' ... '", where "\" escapes
  Double,      // "..."
  Single,      // '...'
  Comment,     // "#" at a word's start, to the end of the line
};

// How far "${" has been read: its name, then its operator and word: a
// default ("-", "=", "?", "+", each with or without ":"), a pattern
// ("#", "%", "/", "^", ","), or anything else.
enum class ParamStage : std::uint8_t { Start, Name, Default, Word, Unsure };

struct Opened {
  Place place;
  std::size_t at;           // where it opened, in the template's text
  std::uint32_t depth = 0;  // parentheses open inside "$(( ))"
  ParamStage stage = ParamStage::Start;
};

inline bool IsBarePlace(Place place) {
  return place == Place::Top || place == Place::Group || place == Place::Command;
}

inline bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace template_places

class LineTemplate::Reader {
  using Place = template_places::Place;
  using ParamStage = template_places::ParamStage;
  using Opened = template_places::Opened;

 public:
  Reader(LineTemplate& line, QuoteRule rule, const CodePage& code)
      : line_(line), posix_(rule == QuoteRule::PosixShell), code_(code) {
    open_.push_back({Place::Top, 0});
  }

  void Read(std::string_view text) {
    const std::size_t begin = line_.text_.size();
    line_.text_.append(text);
    const std::string_view all = line_.text_;
    for (std::size_t pos = begin; pos < all.size();)
      pos += posix_ ? ReadSh(all, pos) : ReadCmd(all, pos);
  }
  void DisplayedName() {
    wordStart_ = false;
    PlaceMacro(kSelfMacro, line_.text_.size());
  }
  void Finish();

 private:
  std::size_t ReadSh(std::string_view all, std::size_t pos);
  std::size_t ReadCmd(std::string_view all, std::size_t pos);
  std::size_t InQuotes(std::string_view all, std::size_t pos);
  std::size_t AtDollar(std::string_view all, std::size_t pos, bool afterDollar);
  std::size_t InArithmetic(std::string_view all, std::size_t pos);
  std::size_t InParameter(std::string_view all, std::size_t pos);
  std::size_t InBare(std::string_view all, std::size_t pos);
  std::size_t Delimiter(std::string_view all, std::size_t pos);
  void PlaceMacro(std::size_t macro, std::size_t pos);
  bool ParameterInBare() const;
  bool ParameterForm(Context& where) const;

  Place Innermost() const { return open_.back().place; }
  void Open(Place place, std::size_t pos) { open_.push_back({place, pos}); }
  void Close() { open_.pop_back(); }
  void Refuse(std::size_t pos) {
    if (line_.refusedAt_ == std::string::npos) line_.refusedAt_ = pos;
  }
  Context Where() const {
    if (Innermost() == Place::Double) return Context::DoubleQuoted;
    if (Innermost() == Place::Single) return Context::SingleQuoted;
    return Context::Bare;
  }
  std::size_t Literal(std::size_t pos, std::size_t length) {
    AddText(kLiteral, pos, length);
    return length;
  }
  std::size_t Mark(std::size_t pos) {
    AddText(kQuoteMark, pos, 1);
    return 1;
  }
  void AddText(std::uint16_t kind, std::size_t pos, std::size_t length);
  void AddMacro(std::size_t macro, Context where) {
    line_.steps_.push_back({static_cast<std::uint16_t>(macro), where, false, word_, 0, 0});
    line_.used_ |= 1u << macro;
  }

  LineTemplate& line_;
  const bool posix_;
  const CodePage& code_;
  std::vector<Opened> open_;
  bool escaped_ = false;       // the character before escapes this one
  bool dollarBefore_ = false;  // the character before is a "$" the shell expands
  bool wordStart_ = true;      // no character of the current word read yet
  std::uint32_t braces_ = 0;   // "{" open in the current word, outside quotes
  std::size_t wordBegin_ = 0;
  std::uint32_t word_ = 0;
};

}  // namespace tvx
