// Threads and locks of the standard library, and the count of a thread's
// waits that tells a walk that reading ahead on more threads pays.
#pragma once

#include "platform/DirSource.h"

namespace tvx {

class PosixThreadKit final : public ThreadKit {
 public:
  std::unique_ptr<Mutex> NewMutex() override;
  std::unique_ptr<Condition> NewCondition() override;
  std::unique_ptr<Thread> Start(std::function<void()> body) override;
  // Voluntary context switches of the calling thread: a read served from
  // memory waits for nothing, and preemption is not counted.
  long Waits() override;
};

}  // namespace tvx
