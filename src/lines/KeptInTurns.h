// A kept list written by two threads in turns: the tail of a run that
// keeps its list, which would otherwise leave one processor idle.
#pragma once

#include <memory>

#include "Commands.h"

namespace tvx {

class LineWriter;
class ThreadKit;

// Writes every entry of list through writer into out, in order, as
// list.ForEach with writer.Take would. Where writer can be forked, threads
// can start and out is not a terminal, a helper thread writes every other
// run of entries with a fork of writer into a block of its own, which this
// thread hands to out in its place.
void WriteKeptInTurns(const EntryList& list, CommandWriter& writer, LineWriter& out,
                      ThreadKit* threads);

}  // namespace tvx
