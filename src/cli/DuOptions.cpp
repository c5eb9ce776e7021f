// What DU refuses before the scan.
#include <initializer_list>

#include "OptionTable.h"
#include "text/Failure.h"

namespace tvx {

namespace {

// The first use of any of spellings' rows, or null.
const OptionUse* AnyOf(const OptionUses& uses, std::initializer_list<std::string_view> spellings) {
  for (std::string_view spelling : spellings) {
    if (!uses.Of(spelling).empty()) return &uses.Of(spelling).front();
  }
  return nullptr;
}

void Refuse(const OptionUse* use) {
  if (use) throw InvalidValueFailure(use->Typed);
}

}  // namespace

void CheckDuOptions(const OptionUses& uses, const ListOptions& options) {
  if (options.Command != CommandKind::Du) {
    Refuse(AnyOf(uses, {"/H", "/ALLOC", "/XDEV", "/NCDU", "/TREE"}));
    return;
  }
  // DU writes no LIST lines, and no CSV.
  Refuse(AnyOf(uses, {"/P", "/S", "/LINE", "/BAT"}));
  if (options.Records == RecordForm::Csv) Refuse(AnyOf(uses, {"/CSV"}));
  if (options.Ncdu) Refuse(AnyOf(uses, {"/TREE", "/JSON", "/H", "/0"}));
  // A drawing is for people: no records, no NUL-ended lines, no ranking.
  if (options.Tree) Refuse(AnyOf(uses, {"/0", "/JSON", "/O", "/TOP"}));
  // Directories are ranked by their size alone.
  const std::vector<OptionUse>& order = uses.Of("/O");
  if (!order.empty() && (options.Order.size() != 1 || options.Order[0].By != SortBy::Size))
    Refuse(&order.back());
}

}  // namespace tvx
