// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

// The one exception class of the audio components; it carries only its message text.
class EAuException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
