#include "cli/interrupt.h"

#include <unistd.h>
#include <atomic>
#include <csignal>

namespace TInterrupt {
namespace {

std::atomic<int> Signal{0};
std::atomic<const char*> CleanupPath{nullptr};
static_assert(std::atomic<int>::is_always_lock_free &&
                  std::atomic<const char*>::is_always_lock_free,
              "read from a signal handler");

// Only async-signal-safe calls here.
void OnSignal(int number) {
  int expected = 0;
  if (Signal.compare_exchange_strong(expected, number)) return;
  if (const char* path = CleanupPath.load()) ::unlink(path);
  ::_exit(128 + number);
}

}  // namespace

void Install() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(number, &action, nullptr);
}

int Received() {
  return Signal.load();
}

void SetCleanupPath(const char* path) {
  CleanupPath.store(path);
}

}  // namespace TInterrupt
