// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_thread_pump.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cstdint>

#include "pipeline/main_thread_queue.h"

TMainThreadPump::TMainThreadPump() : FEvent(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  FNotifier = new QSocketNotifier(FEvent, QSocketNotifier::Read);
  QObject::connect(FNotifier, &QSocketNotifier::activated, [fd = FEvent] {
    uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(fd, &count, sizeof count);
    main_thread_queue::ProcessPending();
  });
  main_thread_queue::SetWakeHook([fd = FEvent] {
    const uint64_t one = 1;
    [[maybe_unused]] const auto put = ::write(fd, &one, sizeof one);
  });
  main_thread_queue::ProcessPending();
}

TMainThreadPump::~TMainThreadPump() {
  main_thread_queue::SetWakeHook({});
  delete FNotifier;
  ::close(FEvent);
}
