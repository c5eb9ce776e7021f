// What a walk is asked to do, decided once from the command line.
#pragma once

#include <cstdint>
#include <optional>

#include "Choice.h"
#include "Order.h"

namespace tvx {

struct WalkPlan {
  // Where the walk stops: at the tree's end; after the first Count entries;
  // or at the tree's end, having kept the best Count of it by Order.
  enum class Stop { All, First, Best };
  bool Recursive = false;
  bool Details = false;  // sizes and times are read
  Choice Chosen;         // the entries listed and the directories entered
  // Each directory's entries in this order (Best: the tree's); none: the system's.
  std::optional<EntryOrder> Order;
  Stop Until = Stop::All;
  std::uint64_t Count = 0;       // of First and Best
  bool DirectoriesCount = true;  // toward Count: not where no directory is written
  bool Streamed = false;         // handed on as met; else kept, checked, then handed on
  bool GoesOn = false;           // past directories that cannot be entered or read
};

}  // namespace tvx
