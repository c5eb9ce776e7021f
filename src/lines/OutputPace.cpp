#include "OutputPace.h"

#include "Output.h"

namespace tvx {

void OutputPace::BeforeRead() {
  // The first lines go at once; later ones wait for the interval.
  const std::uint64_t now = clock_();
  if (passed_ && now - last_ < kInterval) return;
  if (!out_.PassPending()) return;
  passed_ = true;
  last_ = now;
}

}  // namespace tvx
