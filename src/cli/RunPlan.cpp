#include "RunPlan.h"

namespace tvx {

namespace {

// /TOP: without an order the walk's first n, and the walk ends there; with
// one the best n of the whole tree.
void PlanStop(const ListOptions& options, WalkPlan& walk) {
  walk.Count = options.Top;
  if (options.Top == 0) {
    walk.Until = WalkPlan::Stop::All;
  } else {
    walk.Until = walk.Order ? WalkPlan::Stop::Best : WalkPlan::Stop::First;
  }
}

}  // namespace

RunPlan MakeRunPlan(const ListOptions& options, PathStyle style, const CodePage& code) {
  RunPlan plan;
  plan.Options = options;
  plan.Command = &RowOf(options.Command);
  if (plan.Command->ReadsTemplate) plan.Lines = LineTemplate::For(options, style, code);
  plan.WritesDirectories = !(plan.Command->NoDirLeavesDirs && options.NoDir);

  WalkPlan& walk = plan.Walk;
  walk.Recursive = options.Recursive;
  walk.Details = plan.Command->AlwaysDetails ||
                 (plan.Command->ReadsTemplate && plan.Lines.NeedsDetails()) ||
                 OrderNeedsDetails(options.Order) || options.Records != RecordForm::None;
  walk.Chosen = options.Chosen;
  if (!options.Order.empty())
    walk.Order.emplace(options.Order, style, code, options.Chosen.NameCase());
  PlanStop(options, walk);
  walk.DirectoriesCount = plan.WritesDirectories;
  walk.Streamed =
      (options.Continue || plan.Command->WritesAtEnd) && walk.Until != WalkPlan::Stop::Best;
  walk.GoesOn = options.Continue;
  return plan;
}

}  // namespace tvx
