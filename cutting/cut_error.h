// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>

// A cut, join or segment cut that cannot be done, with the reason to show the user as it
// stands (the windows put it in a message, the command line after its name).
class ECutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
