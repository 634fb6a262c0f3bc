// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// A command's arguments: options with a value ("--start 00:00:05.0" or "--start=..."),
// switches ("--force") and positional arguments, in any order; "--" ends the options.
// Anything it does not know is a TUsageError.
class TCliArgs {
 public:
  struct TOption {
    std::string Long;   // "--output"
    std::string Short;  // "-o", or empty
    bool TakesValue = false;
  };

  TCliArgs(std::vector<TOption> options, const std::vector<std::string>& args);

  // The value of a value option; the last one given wins.
  std::optional<std::string> Value(const std::string& longName) const;
  bool Has(const std::string& longName) const;
  const std::vector<std::string>& Positional() const { return FPositional; }

 private:
  const TOption* Find(const std::string& name) const;

  std::vector<TOption> Options;
  std::map<std::string, std::string> Values;
  std::vector<std::string> FPositional;
};
