// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pipeline/au_input.h"

// A read of a source from the calling thread, ended however the reading loop is left. For
// the passes that decode a whole file themselves (the peaks, the silence detection).
class TReadScope {
 public:
  explicit TReadScope(TAuInput& source) : FSource(source) { FSource.StartRead(); }
  ~TReadScope() {
    try {
      FSource.EndRead();
    } catch (...) {
      // Closing a file that failed to read has nothing more to report.
    }
  }
  TReadScope(const TReadScope&) = delete;
  TReadScope& operator=(const TReadScope&) = delete;

 private:
  TAuInput& FSource;
};
