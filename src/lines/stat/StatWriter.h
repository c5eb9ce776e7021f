#pragma once

#include "lines/Commands.h"

namespace tvx {

class LineWriter;

// STAT's count: nothing for each entry, then the banner and the ROOT line.
class StatWriter final : public CommandWriter {
 public:
  explicit StatWriter(const WriterInputs& in) : out_(in.Out) {}
  void Take(const EntryList&, const TTarvixFileInfo&) override {}
  void Finish(const EntryList& list, const RunSummary& summary) override;

 private:
  LineWriter& out_;
};

}  // namespace tvx
