// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The "Cutting ... 42%" line on stderr, rewritten in place. It is shown only on a terminal,
// so that logs and pipes get no carriage-return noise, and never with --quiet.
class TProgressLine {
 public:
  TProgressLine(std::string label, bool quiet);
  ~TProgressLine();
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  // A percentage, or -1 when the length is unknown.
  void Show(int percent);
  // Whether percentages are shown at all (not --quiet, and the error stream is a terminal).
  bool Enabled() const { return FEnabled; }
  // Clears the line, so that what is printed next starts on an empty line.
  void Clear();

 private:
  std::string FLabel;
  bool FEnabled;
  bool FShown = false;
  int FLast = -2;
};
