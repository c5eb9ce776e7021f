#include "StatWriter.h"

#include "lines/Output.h"
#include "text/Text.h"

namespace tvx {

void StatWriter::Finish(const EntryList& list, const RunSummary& summary) {
  std::string root = summary.Root;
  ShowControlChars(root);
  out_.WriteText(summary.Banner);
  out_.WriteLine("ROOT " + root + " FileCount=" + std::to_string(list.Count()));
}

}  // namespace tvx
