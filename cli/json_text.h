// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// JSON for the command line's --json output: one object, keys in the order they are added.

// `text` (UTF-8) as a quoted JSON string: quotes, backslashes and control characters escaped,
// bytes that are not valid UTF-8 (a file name can hold any) replaced by U+FFFD.
std::string JsonString(std::string_view text);

class TJsonObject {
 public:
  // `value` is JSON already: a number, true, false, a JsonString or another object's Text.
  void Add(std::string_view key, std::string_view value);
  std::string Text() const { return FBody + "}"; }

 private:
  std::string FBody = "{";
};
