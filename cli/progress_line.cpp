// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/progress_line.h"

#include <unistd.h>
#include <cstdio>

TProgressLine::TProgressLine(std::string label, bool quiet)
    : Label(std::move(label)), Enabled(!quiet && ::isatty(STDERR_FILENO) == 1) {}

TProgressLine::~TProgressLine() {
  Clear();
}

void TProgressLine::Show(int percent) {
  if (!Enabled || percent == Last) return;
  Last = percent;
  if (percent < 0)
    std::fprintf(stderr, "\r%s ...", Label.c_str());
  else
    std::fprintf(stderr, "\r%s ... %d%%", Label.c_str(), percent);
  std::fflush(stderr);
  Shown = true;
}

void TProgressLine::Clear() {
  if (!Shown) return;
  std::fputs("\r\033[K", stderr);  // back to the line's start, erase to its end
  std::fflush(stderr);
  Shown = false;
  Last = -2;
}
