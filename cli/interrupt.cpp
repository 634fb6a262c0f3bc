// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/interrupt.h"

#include <unistd.h>
#include <atomic>
#include <csignal>

namespace interrupt {
namespace {

std::atomic<int> Signal{0};
std::atomic<const char*> CleanupPath{nullptr};
static_assert(std::atomic<int>::is_always_lock_free &&
                  std::atomic<const char*>::is_always_lock_free,
              "read from a signal handler");

// Only async-signal-safe calls in the handlers.
void OnSignal(int number) {
  int expected = 0;
  if (Signal.compare_exchange_strong(expected, number)) return;
  if (const char* path = CleanupPath.exchange(nullptr)) ::unlink(path);
  ::_exit(128 + number);
}

// Installed with SA_RESETHAND: the signal raised again at the end takes its default action
// (ending the process, with a core dump where those are enabled).
void OnCrash(int number) {
  if (const char* path = CleanupPath.exchange(nullptr)) ::unlink(path);
  ::raise(number);
}

}  // namespace

void Install() {
  // A file-size limit (ulimit -f) would end the process at the write that crosses it, with no
  // message and the temporary file left behind; ignored, the write fails with EFBIG and the
  // run ends as on a full disk: "File too large", the target named, the temporary file gone.
  ::signal(SIGXFSZ, SIG_IGN);

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(number, &action, nullptr);

  struct sigaction crash {};
  crash.sa_handler = OnCrash;
  sigemptyset(&crash.sa_mask);
  crash.sa_flags = SA_RESETHAND | SA_NODEFER;
  for (int number : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
    ::sigaction(number, &crash, nullptr);
}

int Received() {
  return Signal.load();
}

void SetCleanupPath(const char* path) {
  CleanupPath.store(path);
}

}  // namespace interrupt
