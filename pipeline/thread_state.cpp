// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/thread_state.h"

void TThreadState::WaitIdleAfter(uint64_t idleCount) {
  std::unique_lock lock(Lock);
  Changed.wait(lock, [&] { return (Idle && IdleCount > idleCount) || Exited; });
}
