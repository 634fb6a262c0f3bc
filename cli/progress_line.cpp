// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/progress_line.h"

#include <unistd.h>
#include <cstdio>

TProgressLine::TProgressLine(std::string label, bool quiet)
    : FLabel(std::move(label)), FEnabled(!quiet && ::isatty(STDERR_FILENO) == 1) {}

TProgressLine::~TProgressLine() {
  Clear();
}

void TProgressLine::Show(int percent) {
  if (!FEnabled || percent == FLast) return;
  FLast = percent;
  if (percent < 0)
    std::fprintf(stderr, "\r%s ...", FLabel.c_str());
  else
    std::fprintf(stderr, "\r%s ... %d%%", FLabel.c_str(), percent);
  std::fflush(stderr);
  FShown = true;
}

void TProgressLine::Clear() {
  if (!FShown) return;
  std::fputs("\r\033[K", stderr);  // back to the line's start, erase to its end
  std::fflush(stderr);
  FShown = false;
  FLast = -2;
}
