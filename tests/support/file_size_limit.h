// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace test_support {

// Writes beyond 64 KiB fail (as on a full disk) while it lives.
class TFileSizeLimit {
 public:
  TFileSizeLimit() {
    ::getrlimit(RLIMIT_FSIZE, &Old);
    Previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = Old;
    limit.rlim_cur = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &Old);
    ::signal(SIGXFSZ, Previous);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  rlimit Old{};
  sighandler_t Previous{};
};

}  // namespace test_support
