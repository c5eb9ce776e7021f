// Threads and locks on the Win32 calls, for a toolchain whose standard
// library has none: _beginthreadex, and the slim lock with its condition
// variables, which came with Windows Vista. They are looked up at run time,
// so the program still starts on older systems, where it has no threads
// and the walk reads one directory at a time.
#pragma once

#include "platform/DirSource.h"

namespace tvx {

class Win32ThreadKit final : public ThreadKit {
 public:
  // Null where the system lacks the slim lock and its conditions.
  static Win32ThreadKit* IfSupported();

  std::unique_ptr<Mutex> NewMutex() override;
  std::unique_ptr<Condition> NewCondition() override;
  std::unique_ptr<Thread> Start(std::function<void()> body) override;
};

}  // namespace tvx
