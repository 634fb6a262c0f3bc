// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>

// A failure to report as one line, ending the program with status 1.
class TCliError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command line that cannot be understood; the program ends with status 2.
class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
