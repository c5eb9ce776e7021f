#pragma once

#include <string>
#include <string_view>

#include "lines/Commands.h"
#include "lines/quoting/Quoting.h"
#include "text/Text.h"

namespace tvx {

// DIR's table, a row at a time, then the count, total and drive lines.
class DirWriter final : public CommandWriter {
 public:
  explicit DirWriter(const WriterInputs& in);
  void Take(const EntryList& list, const TTarvixFileInfo& entry) override;
  void TakeKept(const EntryList& list) override;
  void Finish(const EntryList& list, const RunSummary& summary) override;
  std::unique_ptr<CommandWriter> Fork(LineWriter& out) const override;

 private:
  DirWriter(const DirWriter& from, LineWriter& out);
  void AppendName(std::string& row, std::string_view name, bool quiet, bool ascii);

  const WordForm form_;  // its letters only: DIR quotes by a rule of its own
  const bool quote_;
  // What the terminal shows names in: UTF-8 on POSIX, whose names are bytes
  // to the program; on Windows the code page they are written in.
  const CodePage widthCode_;
  const LocaleSettings locale_;
  ThreadKit* const threads_;
  LineWriter& out_;
  std::string shown_, buffer_;
  StampMemo stamp_;  // a fork has its own
};

}  // namespace tvx
