#include "StatWriter.h"

#include "lines/Output.h"
#include "text/Text.h"

namespace tvx {

void StatWriter::Finish(const EntryList& list, const Closing& closing) {
  std::string root = closing.Root;
  ShowControlChars(root);
  out_.WriteText(closing.Banner);
  out_.WriteLine("ROOT " + root + " FileCount=" + std::to_string(list.Count()));
}

}  // namespace tvx
